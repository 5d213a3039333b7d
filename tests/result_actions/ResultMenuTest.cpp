// SPDX-License-Identifier: GPL-3.0-or-later
// The result list's context menu and keys on the real main window, with a desktop that records what it
// is asked: the entries a row gets, what each does, and that names in any encoding pass exactly.
#include "AppFixture.h"
#include "database/DatabasePanel.h"
#include "platform/FileUri.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"
#include "result_actions/PictureViewer.h"
#include "saved_list/SavedListPanel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {

const QStringList fileEntries = {"Open",           "Open Containing Folder", "Copy Path",   "Copy",
                                 "Move to Trash",  "Copy Selected Filename", "Delete File", "Run (.exe .bat)",
                                 "Play wav Sound", "Picture Viewer",         "Save ",       "Open MDB"};

class ResultMenuTest : public AppFixture {
protected:
    // The menu the keyboard opens on the selected entry (the Menu key, Shift+F10).
    QMenu *openMenu() {
        closeMenus();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(c().List1, &event);
        return shownMenu();
    }
    QMenu *shownMenu() {
        for (QMenu *menu : c().List1->findChildren<QMenu *>())
            if (menu->isVisible())
                return menu;
        return nullptr;
    }
    void closeMenus() {
        while (QMenu *menu = shownMenu())
            menu->hide();
    }
    static QStringList entries(const QMenu &menu) {
        QStringList texts;
        for (const QAction *action : menu.actions())
            if (!action->isSeparator())
                texts << action->text();
        return texts;
    }
    // Chooses the entry of the selected row's menu, as a click on it does: the menu closes, then it runs.
    void choose(const QString &text) {
        QMenu *menu = openMenu();
        ASSERT_NE(menu, nullptr);
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == text)
                chosen = action;
        ASSERT_NE(chosen, nullptr) << "no entry " << text.toStdString();
        menu->hide();
        chosen->trigger();
    }
    static QByteArray clipboard(const QString &format) {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data ? data->data(format) : QByteArray();
    }
};

} // namespace

TEST_F(ResultMenuTest, AFoundFileGetsEveryEntryAndAnInstructionLineOnlyThePanels) {
    QMenu *menu = openMenu();
    EXPECT_EQ(menu, nullptr) << "a menu without a selected entry";

    c().List1->setListIndex(0); // "WELCOME!"
    menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(entries(*menu), QStringList({"Picture Viewer", "Open MDB"}));

    listPaths({file("a.txt", "a")});
    c().List1->setListIndex(0);
    menu = openMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(entries(*menu), fileEntries);
    // The desktop's entries and the program's own are set apart.
    EXPECT_TRUE(menu->actions().at(5)->isSeparator());
}

TEST_F(ResultMenuTest, ARightClickSelectsTheRowUnderThePointerFirst) {
    const QByteArray a = file("a.txt", "a"), b = file("b.txt", "b");
    listPaths({a, b});
    c().List1->setListIndex(0);
    const QPoint onB = c().List1->visualRect(c().List1->model()->index(1, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onB, c().List1->viewport()->mapToGlobal(onB));
    QApplication::sendEvent(c().List1->viewport(), &click);
    EXPECT_EQ(c().List1->listIndex(), 1);
    EXPECT_EQ(c().Text3->text(), platform::decodePath(b)); // the selection step ran
    QMenu *menu = shownMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(entries(*menu), fileEntries);
    closeMenus();

    // Below the last row there is nothing to act on.
    const QPoint below(5, c().List1->viewport()->height() - 2);
    QContextMenuEvent empty(QContextMenuEvent::Mouse, below, c().List1->viewport()->mapToGlobal(below));
    QApplication::sendEvent(c().List1->viewport(), &empty);
    EXPECT_EQ(shownMenu(), nullptr);
    EXPECT_EQ(c().List1->listIndex(), 1);
}

TEST_F(ResultMenuTest, TheDesktopsEntriesPassTheExactBytes) {
    const QByteArray odd = file("caf\xe9 \xff.txt", "x");
    listPaths({odd});
    c().List1->setListIndex(0);
    choose(QStringLiteral("Open"));
    EXPECT_EQ(fakes.desktop->opened, std::vector<QByteArray>{odd});
    choose(QStringLiteral("Open Containing Folder"));
    EXPECT_EQ(fakes.desktop->shown, std::vector<QByteArray>{odd});
    choose(QStringLiteral("Copy Path"));
    EXPECT_EQ(clipboard(QStringLiteral("text/plain")), odd);
    choose(QStringLiteral("Copy"));
    EXPECT_EQ(clipboard(QStringLiteral("text/uri-list")), platform::fileUri(odd) + "\r\n");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(ResultMenuTest, MoveToTrashAsksAndLeavesTheRow) {
    const QByteArray doomed = file("doomed.txt", "x");
    listPaths({doomed});
    c().List1->setListIndex(0);
    fakes.messages->answers = {platform::Answer::No};
    choose(QStringLiteral("Move to Trash"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(lastBox().prompt,
              QStringLiteral("Move this file to the trash?\r\n\r\nFile path and Filename:\r\n") +
                  platform::decodePath(doomed));
    EXPECT_EQ(lastBox().style, 36);
    EXPECT_EQ(lastBox().title, QStringLiteral("Confirm"));
    EXPECT_TRUE(fakes.desktop->trashed.empty());

    choose(QStringLiteral("Move to Trash")); // Yes
    EXPECT_EQ(fakes.desktop->trashed, std::vector<QByteArray>{doomed});
    EXPECT_EQ(boxes().size(), 2u); // nothing follows
    EXPECT_EQ(c().List1->listCount(), 1);
    EXPECT_EQ(c().Text3->text(), platform::decodePath(doomed));
}

TEST_F(ResultMenuTest, WhatTheDesktopCannotDoIsSaid) {
    listPaths({file("a.txt", "a")});
    c().List1->setListIndex(0);
    fakes.desktop->outcome = {false, QStringLiteral("no application for it")};
    choose(QStringLiteral("Open"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("The file could not be opened: no application for it"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().title, QStringLiteral("Open"));
    choose(QStringLiteral("Open Containing Folder"));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("The folder could not be opened: no application for it"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().title, QStringLiteral("Open Containing Folder"));
    choose(QStringLiteral("Move to Trash"));
    EXPECT_EQ(lastBox().prompt,
              QStringLiteral("The file could not be moved to the trash: no application for it"));
    EXPECT_EQ(lastBox().style, 16);
    EXPECT_EQ(lastBox().title, QStringLiteral("Move to Trash"));
}

TEST_F(ResultMenuTest, TheProgramsEntriesRunTheirButtonsReactions) {
    const QByteArray wav = file("tune \xe9.wav", "RIFF");
    listPaths({wav});
    c().List1->setListIndex(0);

    c().Text5->setText(QStringLiteral("copy.wav"));
    choose(QStringLiteral("Copy Selected Filename"));
    EXPECT_TRUE(platform::isRegularFile(QFile::encodeName(appFolder() + QStringLiteral("/copy.wav"))));
    EXPECT_EQ(lastBox().prompt, QStringLiteral("File copied at ") + appFolder() + u'/');

    fakes.messages->answers = {platform::Answer::No};
    choose(QStringLiteral("Delete File"));
    EXPECT_TRUE(lastBox().prompt.startsWith(QStringLiteral("Are you sure you want to delete this file?")));
    EXPECT_EQ(lastBox().style, 84);
    EXPECT_TRUE(platform::isRegularFile(wav));

    choose(QStringLiteral("Run (.exe .bat)"));
    EXPECT_EQ(fakes.processes->started, QStringList{platform::decodePath(wav)});
    choose(QStringLiteral("Play wav Sound"));
    EXPECT_EQ(fakes.sound->played, std::vector<QByteArray>{wav});

    choose(QStringLiteral("Picture Viewer"));
    EXPECT_TRUE(form().Picture1().isVisibleTo(&form()));
    choose(QStringLiteral("Save "));
    const platform::Result<QByteArray> saved = platform::readWholeFile(form().Picture2().saveFile());
    EXPECT_TRUE(saved);
    EXPECT_EQ(saved.value_or(QByteArray()), '"' + wav + "\"\r\n");
    choose(QStringLiteral("Open MDB"));
    EXPECT_TRUE(form().Picture6().isVisibleTo(&form()));
}

TEST_F(ResultMenuTest, AnEntryThatOpensAModalBoxLeavesItsMenuInPlace) {
    // The box's event loop runs while the menu's own code is still on the stack: the menu must survive.
    listPaths({file("kept.txt", "x")});
    c().List1->setListIndex(0);
    QMenu *menu = openMenu();
    ASSERT_NE(menu, nullptr);
    const QPointer<QMenu> watched(menu);
    bool aliveDuringBox = false;
    fakes.messages->answers = {platform::Answer::No};
    fakes.messages->whileOpen = [&] {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        aliveDuringBox = !watched.isNull();
    };
    for (QAction *action : menu->actions())
        if (action->text() == QStringLiteral("Delete File"))
            menu->setActiveAction(action);
    QTest::keyClick(menu, Qt::Key_Return);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_TRUE(lastBox().prompt.startsWith(QStringLiteral("Are you sure you want to delete this file?")));
    EXPECT_TRUE(aliveDuringBox);
}

TEST_F(ResultMenuTest, KeysOnTheList) {
    const QByteArray odd = file("caf\xe9.txt", "x");
    listPaths({odd});
    c().List1->setListIndex(0);

    QTest::keyClick(c().List1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(QStringLiteral("text/plain")), odd);

    QTest::keyClick(c().List1, Qt::Key_Return);
    EXPECT_EQ(fakes.desktop->opened, std::vector<QByteArray>{odd});

    fakes.messages->answers = {platform::Answer::No};
    QTest::keyClick(c().List1, Qt::Key_Delete);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(lastBox().prompt,
              QStringLiteral("Are you sure you want to delete this file?\r\n\r\nFile path and "
                             "Filename:\r\n") +
                  platform::decodePath(odd));
    EXPECT_TRUE(platform::isRegularFile(odd));

    QTest::keyClick(c().List1, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(shownMenu(), nullptr);
    EXPECT_EQ(entries(*shownMenu()), fileEntries);
    closeMenus();

    // Enter on a line that names no file opens nothing.
    c().List1->setListIndex(-1);
    c().List1->addItem(QStringLiteral("WELCOME!"));
    c().List1->setListIndex(1);
    QTest::keyClick(c().List1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(fakes.desktop->opened.size(), 1u);
}
