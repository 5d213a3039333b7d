// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Volumes.h"

#include <QComboBox>

#include <vector>

namespace main_window {

// Drive1, the drive selector: one entry per drive ("c: [/]"). Its current drive can be set by a drive
// text such as "D:"; a letter that names no drive cannot be made current.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget *parent = nullptr);

    void setDrives(const std::vector<platform::Drive> &drives);
    // The current entry's text.
    QString drive() const { return currentText(); }
    // Makes the drive of that letter current; false when there is none.
    bool setDrive(const QString &driveText);

signals:
    // The current drive changed, by the user or by code.
    void driveChanged();
};

} // namespace main_window
