#include "platform/Volumes.h"

#include "platform/PathCodec.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace platform {

namespace {

struct Mount {
    QByteArray device; // major:minor
    QByteArray root;   // the part of the filesystem mounted here
    QByteArray mountPoint;
    QByteArray type;
    QByteArray source;
};

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo octal escapes.
QByteArray unescapeOctal(const QByteArray &field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::optional<Mount> parseLine(const QByteArray &line) {
    const QList<QByteArray> fields = line.split(' ');
    const auto separator = std::find(fields.begin(), fields.end(), QByteArray("-"));
    if (fields.size() < 6 || separator == fields.end() || fields.end() - separator < 3)
        return std::nullopt;
    return Mount{fields[2], unescapeOctal(fields[3]), unescapeOctal(fields[4]), *(separator + 1),
                 unescapeOctal(*(separator + 2))};
}

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
                                       const std::function<bool(const QByteArray &)> &isDirectory) {
    std::vector<Drive> drives{Drive{'C', "/"}};
    std::set<QByteArray> letteredDevices;
    std::vector<Mount> others;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const std::optional<Mount> mount = parseLine(line.trimmed());
        if (!mount)
            continue;
        if (mount->mountPoint == "/") {
            letteredDevices.insert(mount->device);
            continue;
        }
        others.push_back(*mount);
    }
    for (const Mount &mount : others) {
        if (drives.back().letter == 'Z')
            break;
        if (isPseudoFilesystem(mount.type) || mount.source.startsWith("/dev/loop") ||
            isSystemPlace(mount.mountPoint))
            continue;
        if (letteredDevices.count(mount.device) || !isDirectory(mount.mountPoint))
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
    return drivesFromMountInfo(file.readAll(), [](const QByteArray &path) {
        struct stat info {};
        return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    });
}

} // namespace platform
