// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ApplicationFolder.h"

#include "platform/PathCodec.h"

#include <QCoreApplication>

#include <climits>
#include <pwd.h>
#include <unistd.h>

namespace platform {

ApplicationFolders chooseApplicationFolders(QByteArrayView programFolder, bool programFolderWritable,
                                            QByteArrayView xdgDataHome, QByteArrayView home) {
    ApplicationFolders folders;
    folders.ownFiles = decodePath(programFolder);
    folders.application = folders.ownFiles;
    if (programFolderWritable)
        return folders;
    QByteArray data;
    if (xdgDataHome.startsWith('/'))
        data = xdgDataHome.toByteArray();
    else if (home.startsWith('/'))
        data = home.toByteArray() + (home.endsWith('/') ? "" : "/") + ".local/share";
    else
        return folders;
    if (!data.endsWith('/'))
        data += '/';
    folders.application = decodePath(data + "lumsifter");
    folders.madeWhenNeeded = true;
    return folders;
}

QByteArray programFolderBytes() {
    // The link names the program's file by its bytes, whatever the folder's name is made of; Qt's own
    // answer is empty for a name that is not valid UTF-8.
    QByteArray program(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", program.data(), size_t(program.size()));
    if (length <= 0 || length >= program.size())
        return encodePath(QCoreApplication::applicationDirPath());
    program.truncate(length);
    const qsizetype slash = program.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : program.first(slash);
}

bool isWritableFolder(const QByteArray &folder) {
    return ::access(folder.constData(), W_OK | X_OK) == 0;
}

ApplicationFolders applicationFolders() {
    const QByteArray program = programFolderBytes();
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        // A session without HOME still has a home in the user database.
        if (const passwd *user = ::getpwuid(::getuid()))
            home = user->pw_dir;
    }
    return chooseApplicationFolders(program, isWritableFolder(program), qgetenv("XDG_DATA_HOME"), home);
}

} // namespace platform
