#pragma once

#include <QFont>
#include <QImage>

class QWidget;

// The forms' look: Tahoma (registered from the Wine fonts when present, the default sans font
// otherwise), the fonts and colours the .ui files name in their designFont, foreColor and backColor
// properties, the banner and the icon.
namespace design {

void registerFonts();
QFont font(double points, bool bold = false);

// Applies designFont ("9.75", "12 bold"), foreColor and backColor ("#rrggbb" or "buttonface") to
// the widget and every widget under it.
void applyLook(QWidget &root);

// The title banner (908 x 29 pixels, 24 bits per pixel) and the application icon, drawn here.
QImage banner();
QImage icon();

} // namespace design
