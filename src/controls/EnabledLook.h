// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace controls {

// Keeps a window's enabled colours while the window as a whole is disabled (the main window during a
// search and while a box of its own is open): input stays blocked and assistive tools still report
// the window and its controls disabled, but nothing is painted greyed out. A control disabled on its
// own, while the window is enabled, still looks disabled.
void keepEnabledLook(QWidget &window);

} // namespace controls
