// SPDX-License-Identifier: GPL-3.0-or-later
#include "result_actions/ResultMenu.h"

#include "platform/Desktop.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "search_component/ResultListView.h"
#include "search_component/ResultTransfer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPointer>

namespace result_actions {

using namespace platform::Style;
using search_component::ResultListView;

ResultMenu::ResultMenu(ResultListView &list, Commands commands, std::shared_ptr<platform::Desktop> desktop,
                       std::shared_ptr<platform::MessageBox> messages)
    : list_(list)
    , commands_(std::move(commands))
    , desktop_(std::move(desktop))
    , messages_(std::move(messages)) {}

ResultMenu::~ResultMenu() = default;

QByteArray ResultMenu::fileAt(int index) const {
    return list_.isFile(index) ? list_.results().bytes(index) : QByteArray();
}

std::unique_ptr<QMenu> ResultMenu::menuFor(int index) {
    auto menu = std::make_unique<QMenu>(&list_);
    auto add = [&](const QString &text, std::function<void()> reaction, QKeySequence shown = {}) {
        QAction *action = menu->addAction(text);
        // The key is only shown here: the list itself handles it.
        if (!shown.isEmpty()) {
            action->setShortcut(shown);
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        connect(action, &QAction::triggered, this, std::move(reaction));
    };
    if (list_.isFile(index)) {
        add(QStringLiteral("Open"), [this, index] { open(index); });
        add(QStringLiteral("Open Containing Folder"), [this, index] { showInFolder(index); });
        add(
            QStringLiteral("Copy Path"), [this, index] { copyPath(index); }, QKeySequence::Copy);
        add(QStringLiteral("Copy"), [this, index] { copyFile(index); });
        add(QStringLiteral("Move to Trash"), [this, index] { moveToTrash(index); });
        menu->addSeparator();
        add(QStringLiteral("Copy Selected Filename"), [this] { commands_.copySelectedFilename(); });
        add(
            QStringLiteral("Delete File"), [this] { commands_.deleteFile(); }, QKeySequence(Qt::Key_Delete));
        add(QStringLiteral("Run (.exe .bat)"), [this] { commands_.run(); });
        add(QStringLiteral("Play wav Sound"), [this] { commands_.play(); });
    }
    add(QStringLiteral("Picture Viewer"), [this] { commands_.pictureViewer(); });
    if (list_.isFile(index))
        add(QStringLiteral("Save "), [this] { commands_.save(); });
    add(QStringLiteral("Open MDB"), [this] { commands_.openMdb(); });
    return menu;
}

void ResultMenu::popup(int index, QPoint globalPos) {
    // The menu shown last lives until the next one replaces it, never deleted later: an entry may open
    // a modal box, whose event loop would delete the menu while the menu's own code still runs.
    shown_ = menuFor(index);
    shown_->popup(globalPos);
}

void ResultMenu::open(int index) {
    const QByteArray path = fileAt(index);
    if (path.isEmpty())
        return;
    const platform::DesktopOutcome opened = desktop_->open(path);
    if (!opened.done)
        messages_->show(QStringLiteral("The file could not be opened: ") + opened.reason, Critical,
                        QStringLiteral("Open"));
}

void ResultMenu::showInFolder(int index) {
    const QByteArray path = fileAt(index);
    if (path.isEmpty())
        return;
    // The answer comes later, maybe after a refresh has replaced this menu's window.
    desktop_->showInFolder(path, [self = QPointer<ResultMenu>(this)](const QString &reason) {
        if (self)
            self->messages_->show(QStringLiteral("The folder could not be opened: ") + reason, Critical,
                                  QStringLiteral("Open Containing Folder"));
    });
}

void ResultMenu::copyPath(int index) {
    if (list_.isFile(index))
        list_.copyEntry(index);
}

void ResultMenu::copyFile(int index) {
    const QByteArray path = fileAt(index);
    if (!path.isEmpty())
        QGuiApplication::clipboard()->setMimeData(search_component::fileForTransfer(path));
}

void ResultMenu::moveToTrash(int index) {
    const QByteArray path = fileAt(index);
    if (path.isEmpty())
        return;
    const QString prompt = QStringLiteral("Move this file to the trash?\r\n\r\nFile path and Filename:\r\n") +
                           platform::decodePath(path);
    if (messages_->show(prompt, YesNo | Question, QStringLiteral("Confirm")) != platform::Answer::Yes)
        return;
    const platform::DesktopOutcome trashed = desktop_->moveToTrash(path);
    if (!trashed.done)
        messages_->show(QStringLiteral("The file could not be moved to the trash: ") + trashed.reason,
                        Critical, QStringLiteral("Move to Trash"));
}

} // namespace result_actions
