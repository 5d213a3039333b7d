// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

class QWidget;

namespace platform {

// The layered-window calls of the main window's fade-in: an extended style word kept per window and
// an opacity applied while the layered flag is set.
class LayeredWindow {
public:
    static constexpr int GWL_EXSTYLE = -20;
    static constexpr std::uint32_t WS_EX_LAYERED = 0x80000;
    static constexpr std::uint32_t LWA_ALPHA = 2;

    explicit LayeredWindow(QWidget &window);

    std::uint32_t GetWindowLong(int index) const;
    void SetWindowLong(int index, std::uint32_t style);
    // Applies the opacity (0 invisible, 255 opaque) when the window is layered and LWA_ALPHA is given.
    bool SetLayeredWindowAttributes(std::uint32_t colorKey, std::uint8_t alpha, std::uint32_t flags);

private:
    QWidget &window_;
    std::uint32_t extendedStyle_ = 0;
};

} // namespace platform
