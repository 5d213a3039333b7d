// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A folder of a test's own under the temporary folder, removed with everything in it when it goes
// out of scope, also after a failed assertion. It removes by the bytes of the names, as QTemporaryDir
// cannot: a name that is not UTF-8 would stay behind. Named "<prefix>-XXXXXX", by default after the
// test program.
class TempFolder {
public:
    explicit TempFolder(const QString &prefix = {});
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    bool isValid() const { return true; } // a folder that cannot be made ends the test program
    QString path() const;
    QString filePath(const QString &name) const;
    const QByteArray &bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

// Removes a file, or a folder and everything in it, by the bytes of the names, opening up folders
// that a test made unreadable or unwritable; it does not follow symbolic links.
void removeTree(const QByteArray &path);
