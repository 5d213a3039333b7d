// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/MountTable.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <optional>
#include <set>

namespace base {

namespace {

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
    bool idOk = false;
    bool parentOk = false;
    Mount mount{fields[0].toInt(&idOk),         fields[1].toInt(&parentOk), fields[2],
                unescapeOctal(fields[3]),       unescapeOctal(fields[4]),   *(separator + 1),
                unescapeOctal(*(separator + 2))};
    if (!idOk || !parentOk || !mount.mountPoint.startsWith('/'))
        return std::nullopt;
    return mount;
}

bool holds(const QByteArray &folder, const QByteArray &path) {
    return folder == "/" || path == folder || (path.startsWith(folder) && path[folder.size()] == '/');
}

} // namespace

std::vector<Mount> parseMountInfo(const QByteArray &text) {
    std::vector<Mount> mounts;
    for (const QByteArray &line : text.split('\n'))
        if (std::optional<Mount> mount = parseLine(line.trimmed()))
            mounts.push_back(std::move(*mount));
    return mounts;
}

std::vector<Mount> readMountTable() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseMountInfo(file.readAll());
}

bool mayHang(const QByteArray &type) {
    static const std::set<QByteArray> answeredHere = {
        "ext2",     "ext3",  "ext4",  "xfs",      "btrfs", "f2fs",    "jfs",      "reiserfs", "nilfs2",
        "bcachefs", "zfs",   "vfat",  "msdos",    "exfat", "ntfs3",   "hfs",      "hfsplus",  "iso9660",
        "udf",      "tmpfs", "ramfs", "squashfs", "erofs", "overlay", "devtmpfs", "proc",     "sysfs"};
    return answeredHere.count(type) == 0;
}

const Mount *mountHolding(const std::vector<Mount> &mounts, const QByteArray &path) {
    const Mount *best = nullptr;
    for (const Mount &mount : mounts)
        if (holds(mount.mountPoint, path) && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    return best;
}

std::vector<QByteArray> mountPointsBelow(const std::vector<Mount> &mounts, const QByteArray &folder) {
    std::vector<QByteArray> below;
    for (const Mount &mount : mounts)
        if (mount.mountPoint != folder && holds(folder, mount.mountPoint) &&
            std::find(below.begin(), below.end(), mount.mountPoint) == below.end())
            below.push_back(mount.mountPoint);
    return below;
}

} // namespace base
