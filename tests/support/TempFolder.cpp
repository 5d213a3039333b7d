// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// Relative to the parent's descriptor, so that depth and path length do not matter.
void removeEntry(int parentFd, const char *name) {
    const auto openFolder = [&] {
        return ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    };
    int fd = openFolder();
    if (fd < 0 && errno == EACCES && ::fchmodat(parentFd, name, 0700, 0) == 0)
        fd = openFolder(); // a folder a test made unreadable
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    ::fchmod(fd, 0700);
    std::vector<std::string> names;
    if (DIR *dir = ::fdopendir(::dup(fd))) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string_view child(entry->d_name);
            if (child != "." && child != "..")
                names.emplace_back(child);
        }
        ::closedir(dir);
    }
    for (const std::string &child : names)
        removeEntry(fd, child.c_str());
    ::close(fd);
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

} // namespace

void removeTree(const QByteArray &path) {
    if (!path.isEmpty())
        removeEntry(AT_FDCWD, path.constData());
}

TempFolder::TempFolder(const QString &prefix) {
    const QString name = prefix.isEmpty() ? QCoreApplication::applicationName() : prefix;
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + u'/' + name) + "-XXXXXX";
    // Without its folder a test would write beside the root: it ends here instead.
    if (!::mkdtemp(pattern.data()))
        qFatal("cannot make the temporary folder %s: %s", pattern.constData(), std::strerror(errno));
    bytes_ = pattern;
}

TempFolder::~TempFolder() {
    removeTree(bytes_);
}

QString TempFolder::path() const {
    return QFile::decodeName(bytes_);
}

QString TempFolder::filePath(const QString &name) const {
    return path() + u'/' + name;
}
