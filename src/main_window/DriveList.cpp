// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/DriveList.h"

namespace main_window {

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit driveChanged(); });
}

void DriveList::setDrives(const std::vector<platform::Drive> &drives) {
    const QSignalBlocker blocker(this);
    QComboBox::clear();
    for (const platform::Drive &d : drives)
        addItem(d.entryText());
}

bool DriveList::setDrive(const QString &driveText) {
    if (driveText.size() < 2 || driveText[1] != u':')
        return false;
    const QChar letter = driveText[0].toLower();
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(letter)) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

} // namespace main_window
