// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in file manager for the end-to-end tests: it owns org.freedesktop.FileManager1 on the session
// bus it is started on and appends every request to the file named by its argument, one line each:
// the method, then its URIs (as they came, percent-encoded) separated by blanks.
#include "base/ToolArguments.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <QStringList>

#include <cstdio>

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    explicit FileManager(QString log)
        : log_(std::move(log)) {}

public slots:
    void ShowItems(const QStringList &uris, const QString &) { record("ShowItems", uris); }
    void ShowFolders(const QStringList &uris, const QString &) { record("ShowFolders", uris); }
    void ShowItemProperties(const QStringList &uris, const QString &) { record("ShowItemProperties", uris); }

private:
    void record(const char *method, const QStringList &uris) {
        QFile log(log_);
        if (log.open(QIODevice::Append))
            log.write(QByteArray(method) + ' ' + uris.join(u' ').toLatin1() + '\n');
    }

    QString log_;
};

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "e2e_file_manager LOG", {}, 1, 1);
    if (refused >= 0)
        return refused;
    QCoreApplication app(argc, argv);
    FileManager manager(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
        std::fprintf(stderr, "cannot own org.freedesktop.FileManager1: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

#include "StandInFileManager.moc"
