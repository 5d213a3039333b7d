// SPDX-License-Identifier: GPL-3.0-or-later
// The saved list: save.txt beside the program and its panel.
#include "saved_list/SavedListPanel.h"
#include "AppFixture.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "platform/TimeText.h"

#include <QDir>
#include <QFile>

using saved_list::SavedEntries;
using saved_list::SavedListPanel;

namespace {

class SavedList : public AppFixture {
protected:
    SavedListPanel &panel() { return form().Picture2(); }
    SavedListControls p() { return SavedListControls(panel()); }
    QByteArray saveTxt() { return panel().saveFile(); }
    QByteArray tempTxt() { return panel().tempFile(); }
    QByteArray content(const QByteArray &path) {
        return platform::readWholeFile(path).value_or(QByteArray());
    }
    void saveText(const QString &path) {
        c().Text3->setText(path);
        c().Command12->click();
    }
    QStringList listed() {
        QStringList out;
        for (int i = 0; i < p().lstEmployee->count(); ++i)
            out << p().lstEmployee->text(i);
        return out;
    }
    void selectInPanel(int row) { p().lstEmployee->setCurrentRow(row); }
    QString now() { return platform::timeOfDayText(fakes.clock->now); }
};

} // namespace

TEST_F(SavedList, SaveNeedsAPath) {
    saveText(QString());
    EXPECT_EQ(lastBox().prompt, QStringLiteral("You must enter file path!!"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().title, QStringLiteral("Select!"));
    EXPECT_FALSE(platform::isRegularFile(saveTxt()));
}

TEST_F(SavedList, SaveAppendsALineAndTheEntry) {
    saveText(QStringLiteral("/home/ann/a.jpg"));
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/home/ann/a.jpg\"\r\n"));
    EXPECT_EQ(listed(), QStringList({"/home/ann/a.jpg"}));
    EXPECT_EQ(p().Label18->text(), QString()); // not refreshed by Save
    EXPECT_EQ(lastBox().prompt, QStringLiteral("/home/ann/a.jpg has been saved!"));
    EXPECT_EQ(lastBox().style, 64);
    EXPECT_EQ(lastBox().title, now());
    EXPECT_FALSE(panel().isVisibleTo(&form())); // added whether or not the panel is shown
}

TEST_F(SavedList, SavingTwiceWritesTwiceUnlessTheEntryIsSelected) {
    saveText(QStringLiteral("/x/a.txt"));
    saveText(QStringLiteral("/x/a.txt"));
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/x/a.txt\"\r\n\"/x/a.txt\"\r\n"));
    selectInPanel(0);
    saveText(QStringLiteral("/x/a.txt"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("EXISTED!"));
    EXPECT_EQ(lastBox().style, 0);
    EXPECT_EQ(lastBox().title, now());
    saveText(QStringLiteral("/X/A.TXT")); // case counts in this comparison
    EXPECT_EQ(content(saveTxt()).count('\n'), 3);
}

TEST_F(SavedList, OpenShowsTheFileInOrderWithItsCount) {
    saveText(QStringLiteral("/tmp/with, comma.txt"));
    saveText(QStringLiteral("/tmp/second.txt"));
    c().Command13->click();
    EXPECT_TRUE(panel().isVisibleTo(&form()));
    EXPECT_EQ(listed(), QStringList({"/tmp/with, comma.txt", "/tmp/second.txt"}));
    EXPECT_EQ(p().Label18->text(), QStringLiteral("2"));
    selectInPanel(1);
    EXPECT_EQ(p().Text6->text(), QStringLiteral("/tmp/second.txt"));
}

TEST_F(SavedList, OpenWithoutSaveTxtShowsAnEmptyPanelAndCreatesNothing) {
    c().Command13->click();
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(p().Label18->text(), QStringLiteral("0"));
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(platform::isRegularFile(saveTxt()));
}

TEST_F(SavedList, DeleteRemovesEveryEntryEqualInAnyCase) {
    for (const char *path : {"C:\\A.TXT", "c:\\a.txt", "D:\\b.txt"})
        saveText(QString::fromLatin1(path));
    c().Command13->click();
    selectInPanel(0);
    c().Text3->setText(QStringLiteral("something"));
    fakes.messages->answers = {platform::Answer::Yes};
    p().Command16->click();
    EXPECT_EQ(content(saveTxt()), QByteArray("\"D:\\b.txt\"\r\n"));
    EXPECT_EQ(content(tempTxt()), QByteArray("\"D:\\b.txt\"\r\n"));
    EXPECT_EQ(listed(), QStringList({"D:\\b.txt"}));
    EXPECT_EQ(p().Label18->text(), QStringLiteral("1"));
    EXPECT_EQ(p().Text6->text(), QString());
    EXPECT_EQ(c().Text3->text(), QString());
    const auto &asked = boxes()[boxes().size() - 2];
    EXPECT_EQ(asked.prompt, QStringLiteral("Delete selected item?"));
    EXPECT_EQ(asked.style, 4);
    EXPECT_EQ(asked.title, QStringLiteral("Delete"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("item has been Deleted!"));
    EXPECT_EQ(lastBox().style, 64);
    EXPECT_EQ(lastBox().title, QStringLiteral("Deleted"));
}

TEST_F(SavedList, NoToDeleteReloadsAndEmptiesTheEntryBox) {
    saveText(QStringLiteral("/a"));
    c().Command13->click();
    selectInPanel(0);
    fakes.messages->answers = {platform::Answer::No};
    p().Command16->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("Delete selected item?"));
    EXPECT_EQ(listed(), QStringList({"/a"}));
    EXPECT_EQ(p().Text6->text(), QString());
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/a\"\r\n"));
    EXPECT_FALSE(platform::isRegularFile(tempTxt()));
}

TEST_F(SavedList, DeleteWithoutASelectedEntryAsksToSelectOne) {
    saveText(QStringLiteral("/a"));
    c().Command13->click();
    p().Command16->click();
    EXPECT_EQ(lastBox().prompt, QStringLiteral("You must select an item!!"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().title, QStringLiteral("select"));
    EXPECT_EQ(p().Label18->text(), QStringLiteral("1"));
}

TEST_F(SavedList, ADeletionThatMatchesNothingKeepsSaveTxtAndStillReports) {
    saveText(QStringLiteral("/a"));
    c().Command13->click();
    selectInPanel(0);
    ASSERT_TRUE(platform::writeFileAtomically(saveTxt(), "\"/edited by hand\"\r\n"));
    p().Command16->click();
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/edited by hand\"\r\n"));
    EXPECT_EQ(content(tempTxt()), QByteArray("\"/edited by hand\"\r\n"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("item has been Deleted!"));
    EXPECT_EQ(listed(), QStringList({"/edited by hand"}));
}

TEST_F(SavedList, AfterCloseAndOpenTheOldEntryBoxRemovesNothing) {
    saveText(QStringLiteral("/a"));
    c().Command13->click();
    selectInPanel(0);
    p().Command14->click();
    EXPECT_FALSE(panel().isVisibleTo(&form()));
    saveText(QStringLiteral("/b")); // saved while closed: it appears once, in file order
    c().Command13->click();
    EXPECT_EQ(listed(), QStringList({"/a", "/b"}));
    EXPECT_EQ(p().Text6->text(), QStringLiteral("/a"));
    EXPECT_EQ(p().lstEmployee->selectedRow(), -1);
    p().Command16->click();
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/a\"\r\n\"/b\"\r\n"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("item has been Deleted!"));
}

TEST_F(SavedList, APathThatCannotBeStoredIsRefused) {
    saveText(QStringLiteral("/tmp/say \"hi\".txt"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_FALSE(lastBox().prompt.contains(QStringLiteral("has been saved")));
    EXPECT_FALSE(platform::isRegularFile(saveTxt()));
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(SavedList, AFailedWriteSaysSoAndAddsNothing) {
    QDir().mkdir(QFile::decodeName(saveTxt())); // save.txt cannot be opened as a file
    saveText(QStringLiteral("/a"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_TRUE(lastBox().prompt.startsWith(QStringLiteral("The path could not be saved to save.txt")));
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(SavedList, SaveTxtIsNotRewrittenWhenTempTxtCannotBeWritten) {
    saveText(QStringLiteral("/a"));
    saveText(QStringLiteral("/b"));
    c().Command13->click();
    selectInPanel(0);
    QDir().mkdir(QFile::decodeName(tempTxt())); // Temp.txt cannot be replaced
    p().Command16->click();
    EXPECT_EQ(content(saveTxt()), QByteArray("\"/a\"\r\n\"/b\"\r\n"));
    EXPECT_EQ(listed(), QStringList({"/a", "/b"}));
    // Said as a failure, never as a deletion.
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_TRUE(lastBox().prompt.contains(QStringLiteral("Temp.txt could not be written")))
        << lastBox().prompt.toStdString();
    for (const FakeMessageBox::Shown &box : boxes())
        EXPECT_NE(box.prompt, QStringLiteral("item has been Deleted!"));
    EXPECT_EQ(p().Label18->text(), QStringLiteral("2"));
}

TEST_F(SavedList, DeleteKeepsHandEditedLinesAsTheyStand) {
    const QByteArray edited = "\"/a/one\"\r\n/g/quote\"inside\r\n\"/e/unterminated\r\n\"/f/next\"\r\n";
    ASSERT_TRUE(platform::writeFileAtomically(saveTxt(), edited));
    c().Command13->click();
    EXPECT_EQ(listed(), QStringList({"/a/one", "/g/quote\"inside", "/e/unterminated", "/f/next"}));
    selectInPanel(0);
    fakes.messages->answers = {platform::Answer::Yes};
    p().Command16->click();
    const QByteArray kept = "/g/quote\"inside\r\n\"/e/unterminated\r\n\"/f/next\"\r\n";
    EXPECT_EQ(content(saveTxt()), kept);
    EXPECT_EQ(content(tempTxt()), kept);
    EXPECT_EQ(listed(), QStringList({"/g/quote\"inside", "/e/unterminated", "/f/next"}));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("item has been Deleted!"));
}

TEST_F(SavedList, AnUndecodablePathIsSavedByItsExactBytes) {
    const QByteArray raw = "/tmp/\xe9t\xe9 \xff.jpg";
    saveText(platform::decodePath(raw));
    EXPECT_EQ(content(saveTxt()), '"' + raw + "\"\r\n");
    c().Command13->click();
    ASSERT_EQ(listed().size(), 1);
    EXPECT_EQ(platform::encodePath(listed()[0]), raw);
}

TEST_F(SavedList, AnEntryOfAnyLengthIsKeptWholeShownByItsStartAndDeletedLikeAnyOther) {
    QByteArray wide = "/home/ann/";
    for (int i = 0; i < 300'000; ++i)
        wide += "\xc3\xa9"; // é
    const struct {
        QByteArray entry;
        bool cut; // shown by its start and an ellipsis
    } rows[] = {
        {"/home/ann/a.txt", false},
        {"/home/ann/" + QByteArray(2'000'000, 'x'), true},
        {wide, true},
        {"/home/ann/" + QByteArray(SavedEntries::shownCharacters - 10, 'y'), false},
    };
    QByteArray file;
    for (const auto &row : rows)
        file += '"' + row.entry + "\"\r\n";
    ASSERT_TRUE(platform::writeFileAtomically(saveTxt(), file));
    c().Command13->click();
    ASSERT_EQ(p().lstEmployee->count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p().lstEmployee->entries().view(i), rows[i].entry) << "kept byte for byte";
        const QString shown = p().lstEmployee->model()->index(i, 0).data().toString();
        const QString whole = platform::decodePath(rows[i].entry);
        if (rows[i].cut)
            EXPECT_EQ(shown, whole.left(SavedEntries::shownCharacters) + QChar(0x2026));
        else
            EXPECT_EQ(shown, whole);
        selectInPanel(i);
        EXPECT_EQ(p().Text6->text(), shown.left(p().Text6->maxLength()));
    }
    selectInPanel(2);
    fakes.messages->answers = {platform::Answer::Yes};
    p().Command16->click();
    EXPECT_EQ(content(saveTxt()),
              '"' + rows[0].entry + "\"\r\n\"" + rows[1].entry + "\"\r\n\"" + rows[3].entry + "\"\r\n");
    EXPECT_EQ(p().lstEmployee->count(), 3);
}
