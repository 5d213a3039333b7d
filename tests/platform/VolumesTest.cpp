#include "platform/Volumes.h"

#include <gtest/gtest.h>

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

bool anyFolder(const QByteArray &path) {
    return path != "/etc/hostname";
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
