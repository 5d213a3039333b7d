// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

namespace platform {
class Desktop;
class MessageBox;
} // namespace platform
namespace search_component {
class ResultListView;
}

namespace result_actions {

// The context menu of the result list. For a found file: what the desktop does with a file (open it,
// show it in the file manager, copy its path or the file itself, move it to the trash), then the
// program's own commands on the selected result, each the very reaction of its button. For a line that
// names no file, only the commands that show a panel.
class ResultMenu : public QObject {
    Q_OBJECT
public:
    // The main window's reactions the menu offers, in its order.
    struct Commands {
        std::function<void()> copySelectedFilename; // "Copy Selected Filename"
        std::function<void()> deleteFile;           // "Delete File"
        std::function<void()> run;                  // "Run (.exe .bat)"
        std::function<void()> play;                 // "Play wav Sound"
        std::function<void()> pictureViewer;        // "Picture Viewer"
        std::function<void()> save;                 // "Save "
        std::function<void()> openMdb;              // "Open MDB"
    };

    ResultMenu(search_component::ResultListView &list, Commands commands,
               std::shared_ptr<platform::Desktop> desktop, std::shared_ptr<platform::MessageBox> messages);
    ~ResultMenu() override;

    // The menu for the entry, owned by the caller.
    std::unique_ptr<QMenu> menuFor(int index);
    // Shows the entry's menu at that point of the screen; the chosen entry runs when it closes.
    void popup(int index, QPoint globalPos);

    // The desktop's actions on the entry; they do nothing for a line that names no file.
    void open(int index);
    void showInFolder(int index);
    void copyPath(int index);
    void copyFile(int index);
    // Asks first; the entry stays in the list, as after "Delete File".
    void moveToTrash(int index);

private:
    QByteArray fileAt(int index) const;

    search_component::ResultListView &list_;
    Commands commands_;
    std::shared_ptr<platform::Desktop> desktop_;
    std::shared_ptr<platform::MessageBox> messages_;
    std::unique_ptr<QMenu> shown_;
};

} // namespace result_actions
