#include "app/LumsifterApp.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumsifter"));
    LumsifterApp app(platform::Platform::real());
    app.start();
    return QApplication::exec();
}
