// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Volumes.h"

#include "platform/PathCodec.h"

#include <QFile>

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace platform {

namespace {

bool isPseudoFilesystem(const QByteArray &type) {
    static const std::set<QByteArray> pseudo = {
        "autofs",          "binfmt_misc", "bpf",        "cgroup",        "cgroup2", "configfs",
        "debugfs",         "devpts",      "devtmpfs",   "efivarfs",      "fusectl", "hugetlbfs",
        "mqueue",          "nsfs",        "proc",       "pstore",        "ramfs",   "rpc_pipefs",
        "securityfs",      "selinuxfs",   "squashfs",   "sysfs",         "tmpfs",   "tracefs",
        "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fuse.snapfuse", "overlay", "erofs",
        "cramfs",          "zram"};
    return pseudo.count(type) > 0;
}

bool isUnder(const QByteArray &path, const QByteArray &folder) {
    return path == folder || path.startsWith(folder + '/');
}

bool isSystemPlace(const QByteArray &mountPoint) {
    if (isUnder(mountPoint, "/run/media"))
        return false;
    for (const char *folder :
         {"/boot", "/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker", "/var/snap"})
        if (isUnder(mountPoint, folder))
            return true;
    return false;
}

} // namespace

QString Drive::entryText() const {
    return QStringLiteral("%1: [%2]").arg(QChar::fromLatin1(letter).toLower(), decodePath(mountPoint));
}

std::vector<Drive> drivesFromMountInfo(const QByteArray &mountInfo,
                                       const std::function<bool(const base::Mount &)> &isFolder) {
    std::vector<Drive> drives{Drive{'C', "/"}};
    std::set<QByteArray> letteredDevices;
    std::vector<base::Mount> others;
    for (base::Mount &mount : base::parseMountInfo(mountInfo)) {
        if (mount.mountPoint == "/")
            letteredDevices.insert(mount.device);
        else
            others.push_back(std::move(mount));
    }
    for (const base::Mount &mount : others) {
        if (drives.back().letter == 'Z')
            break;
        if (isPseudoFilesystem(mount.type) || mount.source.startsWith("/dev/loop") ||
            isSystemPlace(mount.mountPoint) || letteredDevices.count(mount.device))
            continue;
        if (mount.root != "/" && !isFolder(mount))
            continue;
        letteredDevices.insert(mount.device);
        drives.push_back(Drive{char(drives.back().letter + 1), mount.mountPoint});
    }
    return drives;
}

std::optional<QByteArray> folderOfLocation(const std::vector<Drive> &drives, const QString &location) {
    if (location.startsWith(u'/'))
        return encodePath(location);
    if (location.size() < 2 || location[1] != u':' || !location[0].isLetter())
        return std::nullopt;
    const QString rest = location.mid(2);
    if (!rest.isEmpty() && !rest.trimmed().isEmpty() && rest != u"\\" && rest != u"/")
        return std::nullopt;
    const char letter = location[0].toUpper().toLatin1();
    for (const Drive &drive : drives)
        if (drive.letter == letter)
            return drive.mountPoint;
    return std::nullopt;
}

std::vector<Drive> MountedVolumes::drives() const {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {Drive{'C', "/"}};
    return drivesFromMountInfo(file.readAll(), [this](const base::Mount &mount) {
        const auto isDirectory = [path = mount.mountPoint] {
            struct stat info {};
            return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        };
        if (!base::mayHang(mount.type))
            return isDirectory();
        const QByteArray key = QByteArray::number(mount.id) + ' ' + mount.device + ' ' + mount.mountPoint;
        return folders_.ask(key, isDirectory, wait_).value_or(false);
    });
}

} // namespace platform
