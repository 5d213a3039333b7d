#pragma once

#include <QByteArray>
#include <QString>

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
// order. isDirectory tells whether a mount point is a folder (file bind-mounts are not drives).
std::vector<Drive> drivesFromMountInfo(const QByteArray &mountInfo,
                                       const std::function<bool(const QByteArray &)> &isDirectory);

// The folder a search location names: a drive text ("C:", "c: ", letter and colon, then blanks or a
// separator) through the drive letters, or an absolute folder as it stands. Nothing otherwise.
std::optional<QByteArray> folderOfLocation(const std::vector<Drive> &drives, const QString &location);

class Volumes {
public:
    virtual ~Volumes() = default;
    virtual std::vector<Drive> drives() const = 0;
};

// The machine's drives, read afresh from /proc/self/mountinfo on each call.
class MountedVolumes : public Volumes {
public:
    std::vector<Drive> drives() const override;
};

} // namespace platform
