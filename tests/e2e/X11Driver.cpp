// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11Driver.h"

#include "Fakes.h"
#include "platform/Files.h"
#include "platform/Twips.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

X11Driver::X11Driver(const QByteArray &folderName)
    : programFolder_(QFile::encodeName(folder_.path())) {
    if (!folderName.isEmpty()) {
        programFolder_ += '/' + folderName;
        ::mkdir(programFolder_.constData(), 0755);
    }
    // The program's folder holds what a user runs: the program, its component and helpers. Copied by
    // their bytes, so that the folder's name may be in any encoding; the copies keep their modes.
    const QDir built(builtProgramFolder());
    for (const QString &name : built.entryList(QDir::Files))
        static_cast<void>(platform::copyFile(QFile::encodeName(built.filePath(name)),
                                             programFolder_ + '/' + QFile::encodeName(name)));
}

X11Driver::X11Driver(Installed) {}

X11Driver::~X11Driver() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished(3000);
    }
}

void X11Driver::start(const QProcessEnvironment &environmentGiven) {
    // Started through a link of a plain name, because a process is started by a text; the program
    // still finds its folder, whatever that is named.
    const QString link = folder_.filePath(QStringLiteral("start-lumsifter"));
    (void)!::symlink((programFolder_ + "/lumsifter").constData(), QFile::encodeName(link).constData());
    startInstalled(link, environmentGiven);
}

void X11Driver::startInstalled(const QString &program, QProcessEnvironment environment,
                               std::function<void()> inChild) {
    program_.setProgram(program);
    // The test itself runs offscreen; the program must use the X server.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), qEnvironmentVariable("DISPLAY"));
    program_.setProcessEnvironment(environment);
    program_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (inChild)
        program_.setChildProcessModifier(inChild);
    program_.start();
    program_.waitForStarted(5000);
}

QString X11Driver::run(const QString &program, const QStringList &arguments, int timeoutMs) {
    return QString::fromUtf8(runBytes(program, arguments, timeoutMs)).trimmed();
}

QByteArray X11Driver::runBytes(const QString &program, const QStringList &arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
    }
    return process.readAllStandardOutput();
}

QString X11Driver::waitForWindow(const QString &title, int timeoutMs) {
    QString exact = QStringLiteral("^");
    for (const QChar c : title) {
        if (QStringLiteral(".[]()*+?{}|^$\\").contains(c))
            exact += u'\\';
        exact += c;
    }
    return waitForWindowMatching(exact + u'$', timeoutMs);
}

QString X11Driver::waitForWindowMatching(const QString &pattern, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QString found = run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", pattern});
        if (!found.isEmpty())
            return found.split(u'\n').first();
        QThread::msleep(100);
    }
    return {};
}

QRect X11Driver::geometry(const QString &window) {
    // xwininfo gives the client area's absolute position and size.
    const QString info = run(QStringLiteral("xwininfo"), {"-id", window});
    auto field = [&](const QString &label) {
        const QRegularExpression pattern(label + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(info).captured(1).toInt();
    };
    return QRect(field(QStringLiteral("Absolute upper-left X")),
                 field(QStringLiteral("Absolute upper-left Y")), field(QStringLiteral("Width")),
                 field(QStringLiteral("Height")));
}

void X11Driver::click(const QString &window, int x, int y) {
    run(QStringLiteral("xdotool"),
        {"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "1"});
}

void X11Driver::key(const QString &window, const QString &keys) {
    run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window});
    run(QStringLiteral("xdotool"), {"key", "--clearmodifiers", keys});
}

void X11Driver::type(const QString &window, const QString &text) {
    run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window});
    run(QStringLiteral("xdotool"), {"type", "--delay", "20", text});
}

bool X11Driver::screenshot(const QString &file) {
    QDir().mkpath(QFileInfo(file).path());
    run(QStringLiteral("import"), {"-window", "root", file});
    return QFile::exists(file);
}

bool X11Driver::searchFor(const QString &window, const QString &pattern) {
    const QPoint patternBox = twipsRect(4440, 5760, 4335, 360).center();
    click(window, patternBox.x(), patternBox.y());
    type(window, pattern);
    key(window, QStringLiteral("Return"));
    const QString overview = waitForWindow(QStringLiteral("Search Result"), 90000);
    if (overview.isEmpty())
        return false;
    key(overview, QStringLiteral("Return"));
    return true;
}

void X11Driver::selectFirstAndSave(const QString &window) {
    const QPoint firstRow = twipsRect(360, 600, 12135, 2940).topLeft() + QPoint(60, 8);
    click(window, firstRow.x(), firstRow.y());
    const QPoint save = twipsRect(11280, 4080, 1095, 495).center();
    click(window, save.x(), save.y());
}

bool X11Driver::exitProgram(const QString &window) {
    const QPoint exit = twipsRect(10440, 6720, 2055, 735).center();
    click(window, exit.x(), exit.y());
    const QString confirm = waitForWindow(QStringLiteral("Confirm"));
    if (confirm.isEmpty())
        return false;
    key(confirm, QStringLiteral("Return"));
    return true;
}

bool X11Driver::closeTimeTitledBox() {
    const QString box = waitForWindowMatching(QStringLiteral("^[0-9]{1,2}:[0-9]{2}:[0-9]{2}"));
    if (box.isEmpty())
        return false;
    key(box, QStringLiteral("Return"));
    return true;
}

QByteArray X11Driver::waitForContent(const QByteArray &file, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        const QByteArray content = platform::readWholeFile(file).value_or(QByteArray());
        if (!content.isEmpty())
            return content;
        QThread::msleep(100);
    }
    return {};
}

void X11Driver::rightClick(const QString &window, int x, int y) {
    run(QStringLiteral("xdotool"),
        {"mousemove", "--window", window, QString::number(x), QString::number(y), "click", "3"});
}

void X11Driver::moveTo(const QString &window, int x, int y) {
    run(QStringLiteral("xdotool"), {"mousemove", "--window", window, QString::number(x), QString::number(y)});
}

void X11Driver::keys(const QString &keys) {
    run(QStringLiteral("xdotool"),
        QStringList{"key", "--clearmodifiers", "--delay", "80"} + keys.split(u' ', Qt::SkipEmptyParts));
}

void X11Driver::drag(const QString &window, QPoint from, QPoint to) {
    const QPoint origin = geometry(window).topLeft();
    const QPoint start = origin + from;
    run(QStringLiteral("xdotool"), {"mousemove", QString::number(start.x()), QString::number(start.y())});
    QThread::msleep(200);
    run(QStringLiteral("xdotool"), {"mousedown", "1"});
    QThread::msleep(200);
    // Small steps first, so that the drag starts on the row it was pressed on, then on to the target.
    const int steps = 12;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = i <= 2 ? start + QPoint(8 * i, 4 * i) : start + (to - start) * i / steps;
        run(QStringLiteral("xdotool"), {"mousemove", QString::number(at.x()), QString::number(at.y())});
        QThread::msleep(120);
    }
    run(QStringLiteral("xdotool"), {"mousemove", QString::number(to.x() + 3), QString::number(to.y() + 3)});
    QThread::msleep(300);
    run(QStringLiteral("xdotool"), {"mouseup", "1"});
}

int X11Driver::visibleWindows() {
    const QString found =
        run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--class", "^lumsifter$"});
    return found.isEmpty() ? 0 : int(found.split(u'\n').size());
}
