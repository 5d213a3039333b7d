// The real program searches its drive for a file, the result is selected and kept in the saved list.
#include "X11Driver.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

QPoint centre(int left, int top, int width, int height) {
    return twipsRect(left, top, width, height).center();
}

// Types a pattern into the pattern box and presses Enter, which searches like the button.
void searchFor(X11Driver &x, const QString &window, const QString &pattern) {
    const QPoint patternBox = centre(4440, 5760, 4335, 360);
    x.click(window, patternBox.x(), patternBox.y());
    x.type(window, pattern);
    x.key(window, QStringLiteral("Return"));
}

QByteArray waitForContent(const QString &file, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly) && f.size() > 0)
            return f.readAll();
        QThread::msleep(100);
    }
    return {};
}

} // namespace

TEST(SearchAndSave, AFoundPictureIsSelectedSavedAndShownInTheSavedList) {
    X11Driver x;
    ASSERT_TRUE(x.hasDisplay()) << "run under xvfb-run";
    QTemporaryDir tree(QDir::tempPath() + QStringLiteral("/lumsifter-e2e-XXXXXX"));
    const QString name =
        QStringLiteral("e2e-") + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".png");
    QDir().mkpath(tree.filePath(QStringLiteral("deep/er")));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString path = tree.filePath(QStringLiteral("deep/er/") + name);
    ASSERT_TRUE(picture.save(path));

    x.start();
    const QString window = x.waitForWindow(QStringLiteral("Not Set"));
    ASSERT_FALSE(window.isEmpty());
    searchFor(x, window, name); // on drive C:, the root, which holds the temporary folder
    const QString overview = x.waitForWindow(QStringLiteral("Search Result"), 90000);
    ASSERT_FALSE(overview.isEmpty()) << "the search did not end with its overview";
    x.key(overview, QStringLiteral("Return"));

    const QPoint firstRow = twipsRect(360, 600, 12135, 2940).topLeft() + QPoint(60, 8);
    x.click(window, firstRow.x(), firstRow.y());
    const QPoint save = centre(11280, 4080, 1095, 495);
    x.click(window, save.x(), save.y());
    const QByteArray saved = waitForContent(x.programFolder() + QStringLiteral("/save.txt"), 5000);
    EXPECT_EQ(saved, '"' + QFile::encodeName(path) + "\"\r\n");

    // The " has been saved!" box is titled with the time of day.
    const QString savedBox = x.waitForWindowMatching(QStringLiteral("^[0-9]{1,2}:[0-9]{2}:[0-9]{2}"));
    ASSERT_FALSE(savedBox.isEmpty());
    x.key(savedBox, QStringLiteral("Return"));
    const QPoint open = centre(10080, 4080, 1095, 495);
    x.click(window, open.x(), open.y());
    QThread::msleep(500);
    EXPECT_TRUE(x.screenshot(QDir::current().filePath(QStringLiteral("e2e-screenshots/saved-list.png"))));

    const QPoint exit = centre(10440, 6720, 2055, 735);
    x.click(window, exit.x(), exit.y());
    const QString confirm = x.waitForWindow(QStringLiteral("Confirm"));
    ASSERT_FALSE(confirm.isEmpty());
    x.key(confirm, QStringLiteral("Return"));
    EXPECT_TRUE(x.process().waitForFinished(2000));
}
