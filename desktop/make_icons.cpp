// SPDX-License-Identifier: GPL-3.0-or-later
// make_icons FOLDER NAME: writes the desktop's icon files for the application id NAME into FOLDER, in
// the layout of an icon theme, from the drawing the window uses.
#include "IconFiles.h"

#include "base/ToolArguments.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "make_icons FOLDER NAME", {}, 2, 2);
    if (refused >= 0)
        return refused;
    // Drawing needs no screen: the build may run without one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString failure =
        icon_files::write(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "make_icons: %s\n", qPrintable(failure));
        return 1;
    }
    return 0;
}
