// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// Where the program writes its files and where it reads its own. Paths are decoded with the path
// codec: encodePath gives back their exact bytes.
struct ApplicationFolders {
    // Text4's folder: save.txt, Temp.txt, copied files, Lumsifter.ocx.
    QString application;
    // The program's folder: the component, the helper, ADODEMO.MDB.
    QString ownFiles;
    // `application` is the per-user data folder, which may not exist yet: it is made the first time
    // a file in it is used.
    bool madeWhenNeeded = false;
};

// The database helper's file name; the program runs the helper from its own folder.
inline const QString helperFileName = QStringLiteral("lumsifter-dbhost");

// A program folder the user may write to holds everything, as a portable copy or a per-user install
// does. A program installed for the whole system cannot write beside itself, so each user's files go
// to $XDG_DATA_HOME/lumsifter instead, or to $HOME/.local/share/lumsifter when XDG_DATA_HOME is
// unset, empty or relative, as the XDG base directory rules say. Without either, the program's folder
// stays the application folder and a write there fails with its reason. Arguments are path bytes.
ApplicationFolders chooseApplicationFolders(QByteArrayView programFolder, bool programFolderWritable,
                                            QByteArrayView xdgDataHome, QByteArrayView home);

// The choice for the running program and the user running it.
ApplicationFolders applicationFolders();

// The folder of the running program as bytes, from /proc/self/exe.
QByteArray programFolderBytes();

// Whether the user may create files in the folder; a read-only mount counts as not writable.
bool isWritableFolder(const QByteArray &folder);

} // namespace platform
