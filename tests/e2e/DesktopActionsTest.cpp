// SPDX-License-Identifier: GPL-3.0-or-later
// The result list acted on as on a desktop, on the real program with real input: its context menu on
// real files (with a stand-in default application and file manager on a private session bus), the
// clipboard read back with xclip, a drag onto a test window, the keys, a tooltip, and what assistive
// tools read through the accessibility bus.
#include "AtSpi.h"
#include "PrivateDesktop.h"
#include "X11Driver.h"
#include "platform/FileUri.h"
#include "platform/Files.h"
#include "platform/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

QPoint centre(int left, int top, int width, int height) {
    return twipsRect(left, top, width, height).center();
}

const QPoint firstRow = twipsRect(360, 600, 12135, 2940).topLeft() + QPoint(60, 8);

// A text file whose name is unique and not valid UTF-8, in a temporary tree on drive C:.
class UniqueFile {
public:
    UniqueFile()
        : stem_(QStringLiteral("e2e-") + QUuid::createUuid().toString(QUuid::Id128)) {
        folder_ = QFile::encodeName(tree_.path()) + "/deep";
        ::mkdir(folder_.constData(), 0755);
        path_ = folder_ + '/' + stem_.toLatin1() + "-caf\xe9.txt";
        static_cast<void>(platform::writeFileAtomically(path_, "words\n"));
    }
    // A pattern that finds it alone.
    QString pattern() const { return stem_ + u'*'; }
    const QByteArray &path() const { return path_; }
    const QByteArray &folder() const { return folder_; }
    QByteArray name() const { return path_.mid(path_.lastIndexOf('/') + 1); }

private:
    TempFolder tree_{QStringLiteral("lumsifter-e2e")};
    QString stem_;
    QByteArray folder_;
    QByteArray path_;
};

// Searches drive C: for the pattern and selects the one result with a click.
void searchAndSelect(X11Driver &x, const QString &window, const QString &pattern) {
    const QPoint patternBox = centre(4440, 5760, 4335, 360);
    x.click(window, patternBox.x(), patternBox.y());
    x.type(window, pattern);
    x.key(window, QStringLiteral("Return"));
    const QString overview = x.waitForWindow(QStringLiteral("Search Result"), 90000);
    ASSERT_FALSE(overview.isEmpty()) << "the search did not end with its overview";
    x.key(overview, QStringLiteral("Return"));
    ASSERT_FALSE(x.waitForWindow(QStringLiteral("Finish search!")).isEmpty());
    x.click(window, firstRow.x(), firstRow.y());
    x.moveTo(window, 700, 10); // no tooltip in the way
}

bool waitForWindowCount(X11Driver &x, int count, int timeoutMs = 3000) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (x.visibleWindows() == count)
            return true;
        QThread::msleep(100);
    }
    return false;
}

// Right-clicks the first row and chooses the menu's entry at that place (1 is "Open"); a message box
// may follow it.
void chooseFromMenu(X11Driver &x, const QString &window, int entry, int windowsAfter = 1) {
    x.rightClick(window, firstRow.x(), firstRow.y());
    ASSERT_TRUE(waitForWindowCount(x, 2)) << "no context menu";
    // Off the list and off the menu, so that neither a tooltip nor the pointer's place chooses.
    x.moveTo(window, 700, 10);
    QString keys;
    for (int i = 0; i < entry; ++i)
        keys += QStringLiteral("Down ");
    x.keys(keys + QStringLiteral("Return"));
    ASSERT_TRUE(waitForWindowCount(x, windowsAfter)) << "the menu stayed open";
}

QByteArray clipboard(const QString &target) {
    return X11Driver::runBytes(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", target});
}

void exitProgram(X11Driver &x, const QString &window) {
    ASSERT_TRUE(x.exitProgram(window)) << "Exit did not ask";
    EXPECT_TRUE(x.process().waitForFinished(3000));
}

enum Entry {
    Open = 1,
    OpenContainingFolder,
    CopyPath,
    Copy,
    MoveToTrash,
    CopySelectedFilename,
    DeleteFile,
    Run,
    PlayWavSound,
    PictureViewer,
    Save,
    OpenMdb
};

} // namespace

TEST(DesktopActions, TheContextMenuActsOnARealFile) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    PrivateDesktop desktop;
    ASSERT_TRUE(desktop.ready()) << desktop.failure().toStdString();
    ASSERT_TRUE(desktop.startFileManager());
    const UniqueFile file;
    x.start(desktop.environment());
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    searchAndSelect(x, window, file.pattern());

    chooseFromMenu(x, window, Open); // the default application gets the exact path
    EXPECT_TRUE(desktop.waitForOpened(file.path() + '\n').contains(file.path() + '\n'));

    chooseFromMenu(x, window, OpenContainingFolder); // the file manager, with the file to select
    const QByteArray request = "ShowItems " + platform::fileUri(file.path()) + '\n';
    EXPECT_TRUE(desktop.waitForFileManager(request).contains(request));
    EXPECT_TRUE(request.contains("-caf%E9.txt")) << request.constData();

    chooseFromMenu(x, window, CopyPath);
    EXPECT_EQ(clipboard(QStringLiteral("UTF8_STRING")), file.path());
    chooseFromMenu(x, window, Copy);
    EXPECT_EQ(clipboard(QStringLiteral("text/uri-list")), platform::fileUri(file.path()) + "\r\n");
    EXPECT_EQ(clipboard(QStringLiteral("x-special/gnome-copied-files")),
              "copy\n" + platform::fileUri(file.path()));

    chooseFromMenu(x, window, Save, 2); // the program's own entry does what "Save " does
    ASSERT_TRUE(x.closeTimeTitledBox()) << "no \" has been saved!\" box";
    EXPECT_EQ(waitForFileContaining(x.programFolderBytes() + "/save.txt", file.path(), 3000),
              '"' + file.path() + "\"\r\n");

    // Without a file manager on the bus, the folder is opened with the default application.
    desktop.stopFileManager();
    chooseFromMenu(x, window, OpenContainingFolder);
    EXPECT_TRUE(desktop.waitForOpened(file.folder() + '\n').contains(file.folder() + '\n'));

    chooseFromMenu(x, window, MoveToTrash, 2); // asks first; Yes is the default
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty()) << "Move to Trash did not ask";
    x.key(confirm, QStringLiteral("Return"));
    for (int waited = 0; waited < 3000 && platform::isRegularFile(file.path()); waited += 100)
        QThread::msleep(100);
    EXPECT_FALSE(platform::isRegularFile(file.path()));
    EXPECT_TRUE(platform::isRegularFile(desktop.trash() + "/files/" + file.name()));
    const platform::Result<QByteArray> read =
        platform::readWholeFile(desktop.trash() + "/info/" + file.name() + ".trashinfo");
    EXPECT_TRUE(read);
    const QByteArray info = read.value_or(QByteArray());
    EXPECT_TRUE(info.contains("\nPath=" + platform::fileUri(file.path()).mid(7) + '\n')) << info.constData();
    exitProgram(x, window);
}

TEST(DesktopActions, KeysOnTheListAndTheWindow) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    PrivateDesktop desktop;
    ASSERT_TRUE(desktop.ready()) << desktop.failure().toStdString();
    const UniqueFile file;
    x.start(desktop.environment());
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    searchAndSelect(x, window, file.pattern());

    x.key(window, QStringLiteral("ctrl+c"));
    EXPECT_EQ(clipboard(QStringLiteral("UTF8_STRING")), file.path());
    x.key(window, QStringLiteral("Return"));
    EXPECT_TRUE(desktop.waitForOpened(file.path() + '\n').contains(file.path() + '\n'));

    x.key(window, QStringLiteral("Delete")); // "Delete File" with its confirmation
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty()) << "Delete did not ask";
    x.key(confirm, QStringLiteral("n"));
    EXPECT_TRUE(platform::isRegularFile(file.path()));
    // A key sent while the box is still closing would reach no window.
    ASSERT_TRUE(waitForWindowCount(x, 1)) << "the box stayed open";

    for (const QString &menuKey : {QStringLiteral("Menu"), QStringLiteral("shift+F10")}) {
        x.key(window, menuKey);
        EXPECT_TRUE(waitForWindowCount(x, 2)) << "one menu for " << menuKey.toStdString();
        x.keys(QStringLiteral("Escape"));
        EXPECT_TRUE(waitForWindowCount(x, 1));
    }

    x.key(window, QStringLiteral("F1"));
    const QString help = x.waitForWindow(QStringLiteral("HELP"));
    ASSERT_FALSE(help.isEmpty()) << "F1 showed no Help";
    x.key(help, QStringLiteral("Return"));
    x.key(window, QStringLiteral("ctrl+q"));
    const QString exitQuestion = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(exitQuestion.isEmpty()) << "Ctrl+Q did not ask";
    x.key(exitQuestion, QStringLiteral("n"));
    EXPECT_FALSE(x.process().waitForFinished(500));

    // F5 refreshes: the window is loaded anew, with its first title.
    x.key(window, QStringLiteral("F5"));
    const QString refreshed = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(refreshed.isEmpty()) << "F5 did not refresh";
    // Ctrl+F puts the focus in the pattern box: typing there and Enter search.
    x.click(refreshed, firstRow.x(), firstRow.y());
    x.key(refreshed, QStringLiteral("ctrl+f"));
    x.type(refreshed, file.pattern());
    x.key(refreshed, QStringLiteral("Return"));
    const QString overview = x.waitForWindow(QStringLiteral("Search Result"), 90000);
    ASSERT_FALSE(overview.isEmpty()) << "Ctrl+F did not reach the pattern box";
    x.key(overview, QStringLiteral("Return"));
    exitProgram(x, refreshed);
}

TEST(DesktopActions, AResultDraggedOutOffersTheFile) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    const UniqueFile file;
    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    searchAndSelect(x, window, file.pattern());

    // The target lies in the screen's top right corner, above the centred main window.
    const QStringList screen = X11Driver::run(QStringLiteral("xdotool"), {"getdisplaygeometry"}).split(u' ');
    ASSERT_EQ(screen.size(), 2);
    const QRect area(screen[0].toInt() - 220, 10, 200, 150);
    const QString log = x.programFolder() + QStringLiteral("/drop.log");
    QProcess target;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // the test runs offscreen
    target.setProcessEnvironment(environment);
    target.start(QCoreApplication::applicationDirPath() + QStringLiteral("/e2e_drop_target"),
                 {log, QString::number(area.x()), QString::number(area.y()), QString::number(area.width()),
                  QString::number(area.height())});
    ASSERT_FALSE(x.waitForWindow(QStringLiteral("Drop Target")).isEmpty());

    x.drag(window, firstRow, area.center());
    const QByteArray dropped = waitForFileContaining(QFile::encodeName(log), "action", 5000);
    target.kill();
    target.waitForFinished(3000);
    EXPECT_TRUE(dropped.contains("text/uri-list " + (platform::fileUri(file.path()) + "\r\n").toHex() + '\n'))
        << dropped.constData();
    EXPECT_TRUE(('\n' + dropped).contains("\ntext/plain ")) << dropped.constData();
    EXPECT_TRUE(dropped.contains("action 1\n")) << "not offered as a copy: " << dropped.constData();
    EXPECT_TRUE(platform::isRegularFile(file.path())); // the program itself moves nothing
    exitProgram(x, window);
}

TEST(DesktopActions, AssistiveToolsReadNamesDetailsAndSwitchTheFrames) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    PrivateDesktop desktop(true);
    ASSERT_TRUE(desktop.ready()) << desktop.failure().toStdString();
    const UniqueFile file;
    x.start(desktop.environment());
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    AtSpi tools(desktop.busAddress());
    ASSERT_TRUE(tools.connected()) << "no accessibility bus";

    const QString program = QStringLiteral("Lumsifter");
    auto named = [](const QString &role, const QString &name) {
        return [role, name](const AtSpi::Object &o) { return o.role == role && o.name == name; };
    };
    std::vector<AtSpi::Object> objects = tools.waitFor(program, named("list", "Search results"));
    auto find = [&](const std::function<bool(const AtSpi::Object &)> &match) -> const AtSpi::Object * {
        const auto it = std::find_if(objects.begin(), objects.end(), match);
        return it == objects.end() ? nullptr : &*it;
    };
    for (const char *name :
         {"Selected file path", "Input Selected Filename from above:", "Look in:", "Application Path:"})
        EXPECT_NE(find(named("text", name)), nullptr) << "no text box named " << name;
    EXPECT_NE(find(named("list", "Search results")), nullptr);
    EXPECT_NE(find(named("push button", "Copy Selected Filename")), nullptr);
    // A combo box reads as its label, related to it; its own name is its current value.
    QStringList comboLabels;
    for (const AtSpi::Object &o : objects)
        if (o.role == QStringLiteral("combo box"))
            comboLabels += tools.labelledBy(o);
    for (const QString &label : comboLabels)
        comboLabels.replaceInStrings(label, label.simplified());
    EXPECT_TRUE(comboLabels.contains(QStringLiteral("Select Drive"))) << comboLabels.join(u'|').toStdString();
    EXPECT_TRUE(comboLabels.contains(QStringLiteral("SEARCH: Enter Filename and File Extension")))
        << comboLabels.join(u'|').toStdString();
    EXPECT_TRUE(comboLabels.contains(QStringLiteral("Select Interval")))
        << comboLabels.join(u'|').toStdString();

    // The details of a found file, as the tooltip shows them.
    searchAndSelect(x, window, file.pattern());
    x.moveTo(window, firstRow.x() + 40, firstRow.y() + 60);
    QThread::msleep(300);
    x.moveTo(window, firstRow.x() + 10, firstRow.y());
    x.moveTo(window, firstRow.x() + 12, firstRow.y());
    objects =
        tools.waitFor(program, [](const AtSpi::Object &o) { return o.role == QStringLiteral("tool tip"); });
    const AtSpi::Object *tip =
        find([](const AtSpi::Object &o) { return o.role == QStringLiteral("tool tip"); });
    ASSERT_NE(tip, nullptr) << "no tooltip on the row";
    EXPECT_TRUE(tip->name.startsWith(QStringLiteral("Size: 6 bytes\nModified: "))) << tip->name.toStdString();
    EXPECT_TRUE(tip->name.contains(QStringLiteral("\nType: "))) << tip->name.toStdString();
    EXPECT_TRUE(tip->name.endsWith(QStringLiteral("(text/plain)"))) << tip->name.toStdString();

    // The viewer's options switch the frames when a tool checks them.
    const QPoint viewerButton = centre(4440, 6720, 1935, 735);
    x.click(window, viewerButton.x(), viewerButton.y());
    objects = tools.waitFor(program, named("radio button", "Portrait"));
    auto frameShowing = [&](const QString &name) {
        const AtSpi::Object *frame = find([&](const AtSpi::Object &o) {
            return o.name == name && o.role != QStringLiteral("radio button");
        });
        return frame && tools.states(*frame).contains(AtSpi::Showing);
    };
    EXPECT_FALSE(frameShowing(QStringLiteral("Portrait")));
    EXPECT_TRUE(frameShowing(QStringLiteral("Lanscape")));
    const AtSpi::Object *portrait = find(named("radio button", "Portrait"));
    ASSERT_NE(portrait, nullptr);
    ASSERT_TRUE(tools.doAction(*portrait, QStringLiteral("Toggle")));
    QThread::msleep(300);
    objects = tools.objectsOf(program);
    EXPECT_TRUE(frameShowing(QStringLiteral("Portrait")));
    EXPECT_FALSE(frameShowing(QStringLiteral("Lanscape")));
    exitProgram(x, window);
}
