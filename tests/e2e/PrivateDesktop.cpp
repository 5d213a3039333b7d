// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateDesktop.h"

#include "platform/Files.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool write(const QByteArray &file, const QByteArray &content) {
    return platform::writeFileAtomically(file, content).has_value();
}

} // namespace

QByteArray waitForFileContaining(const QByteArray &file, const QByteArray &expected, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QByteArray content;
    do {
        content = platform::readWholeFile(file).value_or(QByteArray());
        if (content.contains(expected))
            break;
        QThread::msleep(100);
    } while (clock.elapsed() < timeoutMs);
    return content;
}

PrivateDesktop::PrivateDesktop(bool accessibility) {
    // The folders lie under the system's temporary folder, on the filesystem of the files the tests
    // find there, so that moving one of them to the trash stays on its filesystem.
    for (const char *folder : {"services", "data/applications", "config", "runtime"})
        QDir().mkpath(dir_.filePath(QString::fromLatin1(folder)));
    ::chmod(path("runtime").constData(), 0700);

    // The stand-in default application for text files and folders: a script that records its arguments.
    const QByteArray recorder = path("record-opened");
    write(recorder,
          "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + path("opened.log") + "'; done\n");
    ::chmod(recorder.constData(), 0755);
    write(path("data/applications/e2e-recorder.desktop"),
          "[Desktop Entry]\nType=Application\nName=Recorder\nExec=\"" + recorder +
              "\" %f\nMimeType=text/plain;inode/directory;\nNoDisplay=true\n");
    const QByteArray defaults =
        "[Default Applications]\ntext/plain=e2e-recorder.desktop\ninode/directory=e2e-recorder.desktop\n";
    write(path("config/mimeapps.list"), defaults);
    write(path("data/applications/mimeapps.list"), defaults);

    // The bus knows no services but those of this test.
    if (accessibility) {
        const QByteArray launcher =
            platform::readWholeFile("/usr/share/dbus-1/services/org.a11y.Bus.service").value_or(QByteArray());
        const qsizetype exec = launcher.indexOf("Exec=");
        if (exec < 0) {
            failure_ = QStringLiteral("no accessibility bus launcher (at-spi2-core)");
            return;
        }
        write(path("services/org.a11y.Bus.service"),
              "[D-BUS Service]\nName=org.a11y.Bus\n" +
                  launcher.mid(exec, launcher.indexOf('\n', exec) - exec) + '\n');
    }
    write(path("bus.conf"),
          "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
          "<busconfig>\n  <type>session</type>\n  <listen>unix:dir=" +
              path("runtime") + "</listen>\n  <servicedir>" + path("services") +
              "</servicedir>\n  <policy context=\"default\">\n    <allow send_destination=\"*\" "
              "eavesdrop=\"true\"/>\n"
              "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");
    bus_.setProcessEnvironment(environment());
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + QString::fromLocal8Bit(path("bus.conf")), "--nofork",
                "--print-address=1"});
    if (!bus_.waitForStarted(5000)) {
        failure_ = QStringLiteral("dbus-daemon did not start: ") + bus_.errorString();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (!bus_.canReadLine() && clock.elapsed() < 5000)
        bus_.waitForReadyRead(100);
    busAddress_ = QString::fromLatin1(bus_.readLine()).trimmed();
    if (busAddress_.isEmpty())
        failure_ = QStringLiteral("dbus-daemon gave no address");
}

PrivateDesktop::~PrivateDesktop() {
    stopFileManager();
    // Services the bus started (the accessibility bus) end with it.
    if (bus_.state() != QProcess::NotRunning) {
        bus_.terminate();
        if (!bus_.waitForFinished(3000)) {
            bus_.kill();
            bus_.waitForFinished(3000);
        }
    }
}

QByteArray PrivateDesktop::path(const char *name) const {
    return QFile::encodeName(dir_.filePath(QString::fromLatin1(name)));
}

QProcessEnvironment PrivateDesktop::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!busAddress_.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromLocal8Bit(path("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromLocal8Bit(path("config")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromLocal8Bit(path("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromLocal8Bit(path("runtime")));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return environment;
}

QByteArray PrivateDesktop::waitForOpened(const QByteArray &expected, int timeoutMs) const {
    return waitForFileContaining(path("opened.log"), expected, timeoutMs);
}

bool PrivateDesktop::startFileManager() {
    fileManager_.setProcessEnvironment(environment());
    fileManager_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fileManager_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/e2e_file_manager"),
                       {QString::fromLocal8Bit(path("file-manager.log"))});
    if (!fileManager_.waitForStarted(5000))
        return false;
    // Ready once the bus says the name is owned.
    const QString connection = QStringLiteral("private-desktop-check");
    bool owned = false;
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(busAddress_, connection);
        QElapsedTimer clock;
        clock.start();
        while (!owned && clock.elapsed() < 5000) {
            owned = bus.interface() &&
                    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1"));
            if (!owned)
                QThread::msleep(100);
        }
    }
    QDBusConnection::disconnectFromBus(connection);
    return owned;
}

void PrivateDesktop::stopFileManager() {
    if (fileManager_.state() == QProcess::NotRunning)
        return;
    fileManager_.terminate();
    fileManager_.waitForFinished(3000);
}

QByteArray PrivateDesktop::waitForFileManager(const QByteArray &expected, int timeoutMs) const {
    return waitForFileContaining(path("file-manager.log"), expected, timeoutMs);
}

QByteArray PrivateDesktop::trash() const {
    return path("data/Trash");
}
