// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <vector>

namespace base {

// One mount of the kernel's mount table, as /proc/self/mountinfo lists it.
struct Mount {
    int id = 0;
    int parentId = 0;
    QByteArray device;     // major:minor
    QByteArray root;       // the part of the file system mounted here: "/" for the whole of it
    QByteArray mountPoint; // raw bytes
    QByteArray type;       // "ext4", "nfs4", "fuse.sshfs", ...
    QByteArray source;
};

// The mounts of a mountinfo text, in mount order; lines that do not read as mounts are left out.
std::vector<Mount> parseMountInfo(const QByteArray &text);

// This process's mounts. Reading the table asks the kernel only: no mounted file system is called,
// so it answers at once even when a file system has stopped answering. Empty when it cannot be read.
std::vector<Mount> readMountTable();

// Whether calls into a file system of this type are answered by the machine itself (disk and memory
// file systems), or may wait for ever on something outside: a network server, a FUSE process, or a
// type not known here. Nothing that must answer quickly calls into a file system that may hang.
bool mayHang(const QByteArray &type);

// The mount a path lies on: of the mounts whose mount point holds it, the one with the longest mount
// point, the latest of those when several are stacked there. Nullptr only for a table without "/".
const Mount *mountHolding(const std::vector<Mount> &mounts, const QByteArray &path);

// The mount points strictly below a folder, in mount order: the entries that a walk of the folder's
// own file system passes by name, without a call on them.
std::vector<QByteArray> mountPointsBelow(const std::vector<Mount> &mounts, const QByteArray &folder);

} // namespace base
