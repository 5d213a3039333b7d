// SPDX-License-Identifier: GPL-3.0-or-later
// An installed program whose folder the user may not write: Text4 names the user's data folder, which
// appears only once a file in it is used, while the program's own files are still read beside it.
#include "AppFixture.h"
#include "database/DatabasePanel.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

class DataFolderInWindow : public AppFixture {
protected:
    void SetUp() override {
        startInSetUp = false;
        AppFixture::SetUp();
        program = appFolder() + QStringLiteral("/usr/lib/lumsifter");
        data = appFolder() + QStringLiteral("/home/.local/share/lumsifter");
        adjustPlatform = [this](platform::Platform &p) {
            p.applicationFolder = data;
            p.makeApplicationFolder = true;
            p.ownFilesFolder = program;
        };
        startProgram();
    }
    QByteArray contentOf(const QString &path) {
        return platform::readWholeFile(platform::encodePath(path)).value_or(QByteArray());
    }
    QString program;
    QString data;
};

} // namespace

TEST_F(DataFolderInWindow, TheDataFolderIsShownAndMadeOnlyWhenAFileInItIsUsed) {
    EXPECT_EQ(c().Text4->text(), data);
    EXPECT_FALSE(QFileInfo::exists(data)) << "starting alone writes nothing";

    c().Text3->setText(QStringLiteral("/home/ann/a.jpg"));
    c().Command12->click(); // Save
    EXPECT_EQ(contentOf(data + QStringLiteral("/save.txt")), QByteArray("\"/home/ann/a.jpg\"\r\n"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("/home/ann/a.jpg has been saved!"));
}

TEST_F(DataFolderInWindow, ACopyLandsInTheDataFolder) {
    const QByteArray source = platform::encodePath(appFolder() + QStringLiteral("/found.txt"));
    ASSERT_TRUE(platform::appendToFile(source, "found"));
    c().List1->clear();
    c().List1->addItem(platform::decodePath(source));
    ASSERT_TRUE(c().List1->setListIndex(0));
    c().Text5->setText(QStringLiteral("copy.txt"));
    c().Command10->click(); // Copy Selected Filename
    EXPECT_EQ(contentOf(data + QStringLiteral("/copy.txt")), QByteArray("found"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied at ") + data + u'/');
}

TEST_F(DataFolderInWindow, AFolderThatCannotBeMadeFailsTheSaveWithItsReason) {
    // A file stands where the data folder's parent should be.
    ASSERT_TRUE(QDir().mkpath(appFolder() + QStringLiteral("/home/.local")));
    ASSERT_TRUE(platform::appendToFile(
        platform::encodePath(appFolder() + QStringLiteral("/home/.local/share")), "x"));
    c().Text3->setText(QStringLiteral("/home/ann/a.jpg"));
    c().Command12->click();
    EXPECT_TRUE(lastBox().prompt.startsWith(QStringLiteral("The path could not be saved to save.txt: ")))
        << lastBox().prompt.toStdString();
}

TEST_F(DataFolderInWindow, TheDemonstrationDatabaseIsReadBesideTheProgram) {
    EXPECT_EQ(form().Picture6().connectionString(),
              QStringLiteral("Provider=Lumsifter.Access.1;Data Source=") + program +
                  QStringLiteral("/ADODEMO.MDB"));
}
