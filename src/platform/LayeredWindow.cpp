// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LayeredWindow.h"

#include <QWidget>

namespace platform {

LayeredWindow::LayeredWindow(QWidget &window)
    : window_(window) {}

std::uint32_t LayeredWindow::GetWindowLong(int index) const {
    return index == GWL_EXSTYLE ? extendedStyle_ : 0;
}

void LayeredWindow::SetWindowLong(int index, std::uint32_t style) {
    if (index == GWL_EXSTYLE)
        extendedStyle_ = style;
}

bool LayeredWindow::SetLayeredWindowAttributes(std::uint32_t /*colorKey*/, std::uint8_t alpha,
                                               std::uint32_t flags) {
    if (!(extendedStyle_ & WS_EX_LAYERED) || !(flags & LWA_ALPHA))
        return false;
    window_.setWindowOpacity(alpha / 255.0);
    return true;
}

} // namespace platform
