// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

// Design geometry is given in twips; 15 twips are one pixel at 96 dpi, and Qt's high-dpi scaling
// does the rest.
constexpr int twips(int value) {
    return (value >= 0 ? value + 7 : value - 7) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
