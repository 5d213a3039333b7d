// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The desktop's icon files, written from the drawing the window uses (design::paintIcon).
namespace icon_files {

// The sizes of the PNG files, in pixels: those the hicolor theme's menus and docks ask for.
const QList<int> &pngSizes();

// The scalable icon as SVG text, its view box the drawing's grid.
QByteArray svg();

// Writes FOLDER/scalable/apps/NAME.svg and FOLDER/<n>x<n>/apps/NAME.png for each size, the layout of
// an icon theme. An empty text on success, else what failed.
QString write(const QString &folder, const QString &name);

} // namespace icon_files
