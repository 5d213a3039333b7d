// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/LateAnswers.h"
#include "base/MountTable.h"

#include <QByteArray>
#include <QString>

#include <chrono>

#include <functional>
#include <optional>
#include <vector>

namespace platform {

// A drive: a letter naming a mounted filesystem that holds user data. C: is always "/".
struct Drive {
    char letter = 'C';     // upper case
    QByteArray mountPoint; // raw bytes of the mount point

    // The entry of the drive selector, e.g. "c: [/]" or "d: [/media/ann/USB]": its first three
    // characters are the letter, the colon and a blank.
    QString entryText() const;
};

// Letters the mounted filesystems of a mountinfo text (the format of /proc/self/mountinfo), in mount
// order, from the text alone: a file system that stopped answering must not keep the drive list from
// being made. The one fact the text lacks is whether a bind mount of part of a file system is a
// folder (file bind-mounts are not drives; a whole file system always is one): `isFolder` is asked
// that, and nothing else, and only for mounts that could be drives otherwise.
std::vector<Drive> drivesFromMountInfo(const QByteArray &mountInfo,
                                       const std::function<bool(const base::Mount &)> &isFolder);

// The folder a search location names: a drive text ("C:", "c: ", letter and colon, then blanks or a
// separator) through the drive letters, or an absolute folder as it stands. Nothing otherwise.
std::optional<QByteArray> folderOfLocation(const std::vector<Drive> &drives, const QString &location);

class Volumes {
public:
    virtual ~Volumes() = default;
    virtual std::vector<Drive> drives() const = 0;
};

// The machine's drives, read afresh from /proc/self/mountinfo on each call. Whether a bind mount is a
// folder is looked up at once on a disk file system; on one that may hang (network, FUSE, unknown) it
// is asked on a thread of its own, and a mount whose answer does not come within `wait` is no drive
// until it answers.
class MountedVolumes : public Volumes {
public:
    explicit MountedVolumes(std::chrono::milliseconds wait = std::chrono::milliseconds(300))
        : wait_(wait) {}
    std::vector<Drive> drives() const override;

private:
    std::chrono::milliseconds wait_;
    mutable base::LateAnswers<bool> folders_;
};

} // namespace platform
