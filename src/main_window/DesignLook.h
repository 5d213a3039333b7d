// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>

class QPainter;
class QWidget;

// The forms' look: Tahoma (registered from the Wine fonts when present, the default sans font
// otherwise), the fonts and colours the .ui files name in their designFont, foreColor and backColor
// properties, the banner and the icon.
namespace main_window::design {

void registerFonts();
QFont font(double points, bool bold = false);

// Applies designFont ("9.75", "12 bold"), foreColor and backColor ("#rrggbb" or "buttonface") to
// the widget and every widget under it, and widens a label whose caption the font would cut.
void applyLook(QWidget &root);

// The title banner (908 x 29 pixels, 24 bits per pixel), drawn here.
QImage banner();

// The application icon: a folder under a magnifying glass, drawn on a square grid of iconGrid units.
// It is the window's icon, and the build writes the desktop's icon files (SVG and PNG) from this one
// drawing, so that the window and the menu show the same picture.
inline constexpr int iconGrid = 32;
void paintIcon(QPainter &painter);
// The icon at size x size pixels, on a transparent ground.
QImage icon(int size = iconGrid);
// The window's icon: the drawing at the sizes a window system asks for, so that none is scaled up.
QIcon windowIcon();

} // namespace main_window::design
