// SPDX-License-Identifier: GPL-3.0-or-later
#include "result_actions/FileActions.h"

#include "base/Step.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "platform/Pictures.h"
#include "platform/Processes.h"
#include "platform/Sound.h"
#include "result_actions/PictureViewer.h"
#include "search_component/ResultListView.h"

#include <QLineEdit>

namespace result_actions {

using base::check;
using base::step;
using search_component::ResultListView;

using platform::Style::Information;

const QString FileActions::copyTitle = QStringLiteral("VELDORANWORKS");
const QString FileActions::copyFailed = QStringLiteral("Error. File not copied!");

FileActions::FileActions(MainWindowView mainWindow, const platform::Platform &platform)
    : mainWindow_(std::move(mainWindow))
    , platform_(platform) {}

QByteArray FileActions::selectedEntry(bool &selected) const {
    ResultListView &list = mainWindow_.resultList;
    selected = list.listIndex() >= 0;
    return selected ? list.results().bytes(list.listIndex()) : QByteArray();
}

void FileActions::selectionStep() {
    bool selected = false;
    const QByteArray path = selectedEntry(selected);
    step([&] { mainWindow_.setSelectedPath(platform::decodePath(path)); });
    // Two separate loads, one per frame; a file that is not a picture leaves both as they were.
    step([&] {
        const std::optional<QImage> picture = platform::loadPicture(path);
        check(picture.has_value());
        mainWindow_.pictureViewer.setImage1(*picture);
    });
    step([&] {
        const std::optional<QImage> picture = platform::loadPicture(path);
        check(picture.has_value());
        mainWindow_.pictureViewer.setImage2(*picture);
    });
}

void FileActions::copySelected() {
    bool selected = false;
    const QByteArray source = selectedEntry(selected);
    const QString folder = mainWindow_.applicationFolder();
    const bool copied =
        selected && platform::copyFile(source, mainWindow_.besideProgram(mainWindow_.copyName()));
    platform_.messageBox->show(copied ? QStringLiteral("File copied at ") + folder + u'/' : copyFailed,
                               Information, copyTitle);
}

void FileActions::deleteFile() {
    const QString prompt = QStringLiteral("Are you sure you want to delete this file?\r\n\r\nFile path and "
                                          "Filename:\r\n") +
                           mainWindow_.selectedPath();
    const int answer = platform_.messageBox->show(
        prompt, platform::Style::YesNo | Information | platform::Style::Critical, QStringLiteral("Confirm"));
    if (answer != platform::Answer::Yes)
        return;
    // Nothing follows, whether or not a file was deleted: the entry stays in the list.
    step([&] { check(platform::deleteFile(platform::encodePath(mainWindow_.selectedPath())).has_value()); });
}

void FileActions::run() {
    step([&] { check(platform_.processes->start(mainWindow_.selectedPath())); });
}

void FileActions::play() {
    bool selected = false;
    const QByteArray name = selectedEntry(selected);
    if (selected)
        platform_.sound->play(name);
}

void FileActions::prepareDrive(const QString &drive) {
    step([&] { check(mainWindow_.setDrive(drive)); });
    step([&] { mainWindow_.setLocation(drive); });
    step([&] { mainWindow_.setPattern(QStringLiteral("Lumsift.ocx")); });
}

void FileActions::searchAndCopyComponent() {
    ResultListView &list = mainWindow_.resultList;
    step([&] { list.clear(); });
    for (const QString &drive : {QStringLiteral("C:"), QStringLiteral("D:")}) {
        prepareDrive(drive);
        step([&] { mainWindow_.setEnabled(false); });
        step([&] { mainWindow_.findFiles(mainWindow_.location()); });
    }
    mainWindow_.finishSearch();
    step([&] { list.setFocus(); });
    step([&] { check(list.setListIndex(0)); });
    step([&] { mainWindow_.setResultCount(QString::number(list.listCount())); });
    // Only a file this command found is copied; a selected path left from before never is.
    const bool found = list.listCount() > 0;
    const bool copied =
        found && platform::copyFile(platform::encodePath(mainWindow_.selectedPath()),
                                    mainWindow_.besideProgram(QStringLiteral("Lumsifter.ocx")));
    platform_.messageBox->show(copied ? QStringLiteral("File copied!") : copyFailed, Information, copyTitle);
}

} // namespace result_actions
