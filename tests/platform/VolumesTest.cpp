// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Volumes.h"
#include "StallingMount.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/mount.h>

using namespace platform;

namespace {

const QByteArray desktopMounts = "22 28 0:21 / /proc rw,nosuid - proc proc rw\n"
                                 "23 28 0:22 / /sys rw - sysfs sysfs rw\n"
                                 "24 28 0:5 / /dev rw - devtmpfs udev rw\n"
                                 "28 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                                 "30 28 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
                                 "31 28 8:3 / /home rw shared:5 - ext4 /dev/sda3 rw\n"
                                 "32 28 0:27 / /run rw - tmpfs tmpfs rw\n"
                                 "40 28 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
                                 "41 31 8:3 /ann/shared /srv/shared rw - ext4 /dev/sda3 rw\n"
                                 "42 28 8:2 /etc/hostname /etc/hostname rw - ext4 /dev/sda2 rw\n"
                                 "50 32 8:17 / /run/media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
                                 "51 28 0:50 / /mnt/share rw - cifs //nas/share rw\n";

bool anyFolder(const base::Mount &mount) {
    return mount.mountPoint != "/etc/hostname";
}

} // namespace

TEST(Volumes, LettersTheFilesystemsThatHoldUserData) {
    const std::vector<Drive> drives = drivesFromMountInfo(desktopMounts, anyFolder);
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(drives[0].mountPoint, "/");
    EXPECT_EQ(drives[1].mountPoint, "/home");
    EXPECT_EQ(drives[2].mountPoint, "/run/media/ann/USB STICK");
    EXPECT_EQ(drives[3].mountPoint, "/mnt/share");
    EXPECT_EQ(drives[3].letter, 'F');
}

TEST(Volumes, OnlyBindMountsOfLocalOrHangingFileSystemsAreAskedWhetherTheyAreFolders) {
    // A dead network share, a dead FUSE mount and a bind mount of part of a dead share: the list is made
    // from the table; only the part of the share needs asking, and then as a mount, not as a path.
    const QByteArray mounts = desktopMounts + "60 28 0:60 / /media/ann/dead rw - fuse.sshfs ann@gone: rw\n"
                                              "61 28 0:61 /sub /media/ann/part rw - nfs4 nas:/export rw\n"
                                              "62 28 0:62 /sub /media/ann/file rw - nfs4 nas:/other rw\n";
    std::vector<QByteArray> asked;
    const std::vector<Drive> drives = drivesFromMountInfo(mounts, [&](const base::Mount &mount) {
        asked.push_back(mount.mountPoint);
        return mount.mountPoint != "/media/ann/file";
    });
    EXPECT_EQ(asked, (std::vector<QByteArray>{"/media/ann/part", "/media/ann/file"}));
    ASSERT_EQ(drives.size(), 6u);
    EXPECT_EQ(drives[4].mountPoint, "/media/ann/dead");
    EXPECT_EQ(drives[5].mountPoint, "/media/ann/part");
}

TEST(Volumes, EntryTextStartsWithLetterColonBlank) {
    EXPECT_EQ((Drive{'C', "/"}).entryText(), QStringLiteral("c: [/]"));
    EXPECT_EQ((Drive{'D', "/media/ann/USB"}).entryText(), QStringLiteral("d: [/media/ann/USB]"));
}

TEST(Volumes, WithoutMountInfoThereIsStillDriveC) {
    const std::vector<Drive> drives = drivesFromMountInfo("garbage line\n\n", anyFolder);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].mountPoint, "/");
}

TEST(Volumes, LocationsResolveThroughTheLetters) {
    const std::vector<Drive> drives = {{'C', "/"}, {'D', "/home"}};
    EXPECT_EQ(folderOfLocation(drives, QStringLiteral("C:")), QByteArray("/"));
    EXPECT_EQ(folderOfLocation(drives, QStringLiteral("d: ")), QByteArray("/home"));
    EXPECT_EQ(folderOfLocation(drives, QStringLiteral("D:\\")), QByteArray("/home"));
    EXPECT_EQ(folderOfLocation(drives, QStringLiteral("/tmp/x")), QByteArray("/tmp/x"));
    EXPECT_FALSE(folderOfLocation(drives, QStringLiteral("E:")).has_value());
    EXPECT_FALSE(folderOfLocation(drives, QStringLiteral("")).has_value());
    EXPECT_FALSE(folderOfLocation(drives, QStringLiteral("C:stuff")).has_value());
    EXPECT_FALSE(folderOfLocation(drives, QStringLiteral("relative/path")).has_value());
}

TEST(Volumes, ThisMachineHasDriveCAtTheRoot) {
    const std::vector<Drive> drives = MountedVolumes().drives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].mountPoint, "/");
}

TEST(Volumes, APartOfADriveThatStoppedAnsweringIsNotWaitedFor) {
    // The file system under /run, which holds no drives, and a bind mount of a part of it under /media:
    // whether that part is a folder must be asked, and gets no answer while the file system is stalled.
    const std::optional<StallingMount> mount = StallingMount::current();
    if (!mount)
        return StallingMount::runCurrentTestInside("/run/lumsifter-stalled");
    const QByteArray part = "/media/lumsifter-part";
    ASSERT_EQ(::mount("tmpfs", "/media", "tmpfs", 0, nullptr), 0); // in this test's own namespace
    ASSERT_TRUE(QDir().mkdir(QString::fromLocal8Bit(part)));
    ASSERT_EQ(::mount((mount->folder() + "/docs").constData(), part.constData(), nullptr, MS_BIND, nullptr),
              0);
    const auto listed = [&](const std::vector<Drive> &drives) {
        return std::any_of(drives.begin(), drives.end(),
                           [&](const Drive &d) { return d.mountPoint == part; });
    };
    const MountedVolumes volumes(std::chrono::milliseconds(200));
    mount->stall();
    for (int round = 0; round < 2; ++round) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(listed(volumes.drives())) << "not available while it does not answer";
        // Bounded by the wait of 200 ms; the second round does not ask again at all.
        EXPECT_LT(timer.elapsed(), 2000) << "round " << round;
    }
    mount->answer();
    bool appeared = false;
    for (int i = 0; i < 100 && !appeared; ++i) {
        appeared = listed(volumes.drives());
        QThread::msleep(20);
    }
    EXPECT_TRUE(appeared) << "its late answer is kept";
}
