// SPDX-License-Identifier: GPL-3.0-or-later
// The commands on the selected result, on real files in the program's temporary folder.
#include "AppFixture.h"
#include "FifoGuard.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "result_actions/PictureViewer.h"
#include "saved_list/SavedListPanel.h"

#include <QDir>
#include <QFile>
#include <QImage>

namespace {

class FileActionsTest : public AppFixture {
protected:
    QByteArray picture(const QString &name, Qt::GlobalColor colour) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(colour);
        EXPECT_TRUE(image.save(appFolder() + u'/' + name, "PNG"));
        return QFile::encodeName(appFolder() + u'/' + name);
    }
    static QByteArray contentOf(const QByteArray &path) {
        return platform::readWholeFile(path).value_or(QByteArray());
    }
    void select(int index) { ASSERT_TRUE(c().List1->setListIndex(index)); }
    PictureViewerControls viewer() { return PictureViewerControls(form().Picture1()); }
};

} // namespace

TEST_F(FileActionsTest, SelectingAPictureShowsItsPathAndLoadsBothFrames) {
    const QByteArray red = picture(QStringLiteral("red.png"), Qt::red);
    const QByteArray text = file("notes.txt", "plain text");
    listPaths({red, text});
    select(0);
    EXPECT_EQ(c().Text3->text(), platform::decodePath(red));
    ASSERT_FALSE(viewer().Image1->picture().isNull());
    EXPECT_EQ(viewer().Image1->picture().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(viewer().Image2->picture().pixelColor(0, 0), QColor(Qt::red));

    select(1); // a text file after the picture leaves the picture in both frames
    EXPECT_EQ(c().Text3->text(), platform::decodePath(text));
    EXPECT_EQ(viewer().Image1->picture().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(viewer().Image2->picture().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(FileActionsTest, AnInstructionLineIsSelectedLikeAnyEntry) {
    select(0);
    EXPECT_EQ(c().Text3->text(), QStringLiteral("WELCOME!"));
    EXPECT_TRUE(viewer().Image1->picture().isNull());
}

TEST_F(FileActionsTest, CopyPutsTheSelectedFileBesideTheProgram) {
    const QDir source(appFolder() + QStringLiteral("/found"));
    QDir().mkpath(source.path());
    const QByteArray found = QFile::encodeName(source.filePath(QStringLiteral("a.jpg")));
    ASSERT_TRUE(platform::appendToFile(found, "jpeg bytes"));
    listPaths({found});
    select(0);
    c().Text5->setText(QStringLiteral("copy.jpg"));
    c().Command10->click();
    EXPECT_EQ(contentOf(QFile::encodeName(appFolder() + QStringLiteral("/copy.jpg"))), "jpeg bytes");
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied at ") + appFolder() + QStringLiteral("/"));
    EXPECT_EQ(lastBox().style, 64);
    EXPECT_EQ(lastBox().title, QStringLiteral("VELDORANWORKS"));

    ASSERT_TRUE(platform::writeFileAtomically(found, "newer jpeg"));
    c().Command10->click(); // over the existing copy
    EXPECT_EQ(contentOf(QFile::encodeName(appFolder() + QStringLiteral("/copy.jpg"))), "newer jpeg");
    EXPECT_TRUE(lastBox().prompt.startsWith(QStringLiteral("File copied at ")));
}

TEST_F(FileActionsTest, CopyFailures) {
    const QByteArray found = file("a.jpg", "original");
    listPaths({found});
    select(0);

    c().Text5->clear(); // the folder and a separator alone
    c().Command10->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
    EXPECT_EQ(lastBox().style, 64);
    EXPECT_EQ(lastBox().title, QStringLiteral("VELDORANWORKS"));

    c().Text5->setText(QStringLiteral("a.jpg")); // onto itself
    c().Command10->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
    EXPECT_EQ(contentOf(found), "original");

    c().List1->setListIndex(-1); // nothing selected
    c().Text5->setText(QStringLiteral("b.jpg"));
    c().Command10->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
    EXPECT_FALSE(platform::isRegularFile(QFile::encodeName(appFolder() + QStringLiteral("/b.jpg"))));
}

TEST_F(FileActionsTest, CopyFromAFolderTextEndingInASeparator) {
    const QByteArray found = file("a.jpg", "x");
    listPaths({found});
    select(0);
    c().Text4->setText(appFolder() + u'/'); // as at the root of a drive
    c().Text5->setText(QStringLiteral("rooted.jpg"));
    c().Command10->click();
    EXPECT_EQ(contentOf(QFile::encodeName(appFolder() + QStringLiteral("/rooted.jpg"))), "x");
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied at ") + appFolder() + QStringLiteral("//"));
}

TEST_F(FileActionsTest, DeleteAsksAndTakesTheFileInTheSelectedPathBox) {
    const QByteArray doomed = file("doomed.txt", "x");
    listPaths({doomed});
    select(0);
    fakes.messages->answers = {platform::Answer::No};
    c().Command22->click();
    EXPECT_EQ(lastBox().prompt,
              QStringLiteral("Are you sure you want to delete this file?\r\n\r\nFile path and "
                             "Filename:\r\n") +
                  platform::decodePath(doomed));
    EXPECT_EQ(lastBox().style, 84);
    EXPECT_EQ(lastBox().title, QStringLiteral("Confirm"));
    EXPECT_TRUE(platform::isRegularFile(doomed));

    fakes.messages->answers = {platform::Answer::Yes};
    c().Command22->click();
    EXPECT_FALSE(platform::isRegularFile(doomed));
    EXPECT_EQ(boxes().size(), 2u); // nothing after the deletion
    EXPECT_EQ(c().List1->listCount(), 1);
    EXPECT_EQ(c().Text3->text(), platform::decodePath(doomed));
}

TEST_F(FileActionsTest, DeleteNeverTakesAFolderOrAnEmptyPath) {
    QDir().mkdir(appFolder() + QStringLiteral("/keep"));
    c().Text3->setText(appFolder() + QStringLiteral("/keep"));
    c().Command22->click();
    EXPECT_TRUE(QDir(appFolder() + QStringLiteral("/keep")).exists());
    c().Text3->clear();
    c().Command22->click();
    EXPECT_TRUE(lastBox().prompt.endsWith(QStringLiteral("File path and Filename:\r\n")));
    EXPECT_EQ(boxes().size(), 2u);
}

TEST_F(FileActionsTest, RunStartsTheSelectedPathBoxAsItStands) {
    c().Text3->setText(QStringLiteral("/opt/my tools/run.sh"));
    c().Command8->click();
    EXPECT_EQ(fakes.processes->started, QStringList({"/opt/my tools/run.sh"}));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FileActionsTest, PlayTakesTheSelectedEntryAndNothingWithoutOne) {
    c().Command4->click();
    EXPECT_TRUE(fakes.sound->played.empty());
    const QByteArray wav = file("ding \xe9.wav", "RIFF");
    listPaths({wav});
    select(0);
    c().Command4->click();
    ASSERT_EQ(fakes.sound->played.size(), 1u);
    EXPECT_EQ(fakes.sound->played[0], wav); // the exact bytes of a name that is not UTF-8
}

TEST_F(FileActionsTest, AfterASavedListDeletionRunAndDeleteSeeAnEmptyPathWhileCopyAndPlayDoNot) {
    const QByteArray wav = file("tune.wav", "RIFF");
    listPaths({wav});
    select(0);
    c().Text3->clear(); // as a deletion from the saved list leaves it
    c().Command8->click();
    c().Command4->click();
    c().Text5->setText(QStringLiteral("tune-copy.wav"));
    c().Command10->click();
    EXPECT_EQ(fakes.processes->started, QStringList({QString()}));
    EXPECT_EQ(fakes.sound->played, std::vector<QByteArray>{wav});
    EXPECT_TRUE(platform::isRegularFile(QFile::encodeName(appFolder() + QStringLiteral("/tune-copy.wav"))));
}

TEST_F(FileActionsTest, UndecodableNamesAreSelectedCopiedAndDeletedByTheirBytes) {
    const QByteArray odd = file("\xff\xfe odd.bin", "raw");
    listPaths({odd});
    select(0);
    EXPECT_EQ(platform::encodePath(c().Text3->text()), odd);
    c().Text5->setText(QStringLiteral("plain.bin"));
    c().Command10->click();
    EXPECT_EQ(contentOf(QFile::encodeName(appFolder() + QStringLiteral("/plain.bin"))), "raw");
    c().Command22->click();
    EXPECT_FALSE(platform::isRegularFile(odd));
}

TEST_F(FileActionsTest, ANamedPipeIsSelectedCopiedAndSteppedOverWithoutWaiting) {
    // Opened as a file, a pipe without a writer stalls the window: each step must return at once.
    const QByteArray red = picture(QStringLiteral("red.png"), Qt::red);
    FifoGuard fifo(QFile::encodeName(appFolder()) + "/pipe");
    ASSERT_TRUE(fifo.created());
    listPaths({red, fifo.path(), red});
    select(0);
    select(1);
    EXPECT_EQ(c().Text3->text(), platform::decodePath(fifo.path()));
    EXPECT_EQ(viewer().Image1->picture().pixelColor(0, 0), QColor(Qt::red)); // not a picture: kept

    c().Text5->setText(QStringLiteral("copy-of-pipe"));
    c().Command10->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
    EXPECT_FALSE(QFile::exists(appFolder() + QStringLiteral("/copy-of-pipe")));

    select(0);
    viewer().Text7->setText(QStringLiteral("never"));
    viewer().Check1->setChecked(true);
    form().Picture1().on_Timer1_timeout(); // steps onto the pipe
    EXPECT_EQ(c().List1->listIndex(), 1);
    form().Picture1().on_Timer1_timeout(); // and past it
    EXPECT_EQ(c().List1->listIndex(), 2);
    EXPECT_FALSE(fifo.rescued());
}

namespace {

class LocateComponent : public FileActionsTest {
protected:
    void SetUp() override {
        fakes.volumes->list = {{'C', "/"}, {'D', "/data"}};
        FileActionsTest::SetUp();
    }
    QByteArray target() const { return QFile::encodeName(appFolder() + QStringLiteral("/Lumsifter.ocx")); }
};

} // namespace

TEST_F(LocateComponent, CopiesTheFirstMatchOfDriveCThenD) {
    const QByteArray onC = file("c-Lumsift.ocx", "from C");
    const QByteArray onD = file("d-Lumsift.ocx", "from D");
    component->found[QStringLiteral("/")] = {platform::decodePath(onC)};
    component->found[QStringLiteral("/data")] = {platform::decodePath(onD)};
    c().Command9->click();
    ASSERT_EQ(component->calls.size(), 2u);
    EXPECT_EQ(component->calls[0].pattern, QStringLiteral("Lumsift.ocx"));
    EXPECT_EQ(component->calls[1].folder, QStringLiteral("/data"));
    EXPECT_EQ(c().List1->listCount(), 2);
    EXPECT_EQ(c().List1->listIndex(), 0);
    EXPECT_EQ(c().Label4->text(), QStringLiteral("2"));
    EXPECT_EQ(c().Text1->currentText(), QStringLiteral("Lumsift.ocx"));
    EXPECT_EQ(c().Drive1->drive(), QStringLiteral("d: [/data]"));
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Finish search!"));
    EXPECT_TRUE(form().isEnabled());
    EXPECT_EQ(contentOf(target()), "from C");
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied!"));
    EXPECT_EQ(lastBox().style, 64);
    EXPECT_EQ(lastBox().title, QStringLiteral("VELDORANWORKS"));
    EXPECT_TRUE(boxes().size() == 1u); // no search overview
}

TEST_F(LocateComponent, AMatchOnDAloneIsCopied) {
    const QByteArray onD = file("d-Lumsift.ocx", "from D");
    component->found[QStringLiteral("/data")] = {platform::decodePath(onD)};
    c().Command9->click();
    EXPECT_EQ(c().Label4->text(), QStringLiteral("1"));
    EXPECT_EQ(contentOf(target()), "from D");
    c().Command9->click(); // again: overwrites and says so again
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied!"));
}

TEST_F(LocateComponent, AFoundPipeIsNotCopiedAndNothingWaitsForIt) {
    FifoGuard fifo(QFile::encodeName(appFolder()) + "/Lumsift.ocx");
    ASSERT_TRUE(fifo.created());
    component->found[QStringLiteral("/")] = {platform::decodePath(fifo.path())};
    c().Command9->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
    EXPECT_FALSE(platform::isRegularFile(target()));
    EXPECT_FALSE(fifo.rescued());
}

TEST_F(LocateComponent, NoMatchCopiesNothingNotEvenAnOldSelection) {
    const QByteArray old = file("old-selection.txt", "not the component");
    c().Text3->setText(platform::decodePath(old));
    c().Command9->click();
    EXPECT_EQ(c().List1->listCount(), 0);
    EXPECT_FALSE(platform::isRegularFile(target()));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Error. File not copied!"));
}
