// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LumsifterApp.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumsifter"));
    // The window system matches the window to the menu entry of this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(LUMSIFTER_APP_ID));
    app::LumsifterApp lumsifter(platform::Platform::real());
    lumsifter.start();
    return QApplication::exec();
}
