// SPDX-License-Identifier: GPL-3.0-or-later
// The main of every test executable: a QApplication on the offscreen platform, then GoogleTest. A
// step that fails in a way no step expects (a fault of the program) fails the running test.
#include "base/Step.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    base::setUnexpectedStepFailureHandler(
        [](const char *what) { ADD_FAILURE() << "a step failed in an unexpected way: " << what; });
    return RUN_ALL_TESTS();
}
