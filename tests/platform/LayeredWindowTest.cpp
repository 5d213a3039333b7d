// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LayeredWindow.h"

#include <QWidget>

#include <gtest/gtest.h>

using platform::LayeredWindow;

TEST(LayeredWindow, OpacityAppliesOnlyToALayeredWindow) {
    QWidget window;
    LayeredWindow layered(window);
    EXPECT_FALSE(layered.SetLayeredWindowAttributes(0, 0, LayeredWindow::LWA_ALPHA));
    EXPECT_DOUBLE_EQ(window.windowOpacity(), 1.0);

    layered.SetWindowLong(LayeredWindow::GWL_EXSTYLE,
                          layered.GetWindowLong(LayeredWindow::GWL_EXSTYLE) | LayeredWindow::WS_EX_LAYERED);
    EXPECT_EQ(layered.GetWindowLong(LayeredWindow::GWL_EXSTYLE), LayeredWindow::WS_EX_LAYERED);
    EXPECT_FALSE(layered.SetLayeredWindowAttributes(0, 100, 1)); // a colour key alone sets no opacity
    EXPECT_TRUE(layered.SetLayeredWindowAttributes(0, 230, LayeredWindow::LWA_ALPHA));
    EXPECT_NEAR(window.windowOpacity(), 230 / 255.0, 0.01);
}
