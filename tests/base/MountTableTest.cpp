// SPDX-License-Identifier: GPL-3.0-or-later
// The mount table and questions with a deadline.
#include "base/MountTable.h"
#include "base/LateAnswers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace base;

namespace {

const QByteArray table = "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                         "27 26 0:24 / /home rw - btrfs /dev/vdb rw\n"
                         "30 26 0:50 / /media/ann/My\\040Share rw - cifs //nas/s rw\n"
                         "31 30 0:51 / /media/ann/My\\040Share/inner rw - fuse.sshfs ann@h: rw\n"
                         "32 26 0:52 / /media/ann/other rw - nfs4 nas:/x rw\n"
                         "33 26 0:53 / /homework rw - tmpfs tmpfs rw\n"
                         "34 27 0:54 / /home rw - ext4 /dev/vdc rw\n"
                         "not a mount line\n";

} // namespace

TEST(MountTable, ReadsTheTableAndFindsMountsByPath) {
    const std::vector<Mount> mounts = parseMountInfo(table);
    ASSERT_EQ(mounts.size(), 7u);
    EXPECT_EQ(mounts[2].id, 30);
    EXPECT_EQ(mounts[2].parentId, 26);
    EXPECT_EQ(mounts[2].mountPoint, "/media/ann/My Share");
    EXPECT_EQ(mounts[2].type, "cifs");
    const struct {
        const char *path;
        const char *mountPoint;
    } holding[] = {{"/", "/"},
                   {"/etc/passwd", "/"},
                   {"/home/ann", "/home"},
                   {"/homework/x", "/homework"},
                   {"/media/ann/My Share/inner/a", "/media/ann/My Share/inner"},
                   {"/media/ann/My Sharex", "/"}};
    for (const auto &row : holding) {
        SCOPED_TRACE(row.path);
        const Mount *mount = mountHolding(mounts, row.path);
        ASSERT_NE(mount, nullptr);
        EXPECT_EQ(mount->mountPoint, row.mountPoint);
    }
    EXPECT_EQ(mountHolding(mounts, "/home/ann")->id, 34); // the later of two stacked mounts
    EXPECT_EQ(mountPointsBelow(mounts, "/"),
              (std::vector<QByteArray>{"/home", "/media/ann/My Share", "/media/ann/My Share/inner",
                                       "/media/ann/other", "/homework"}));
    EXPECT_EQ(mountPointsBelow(mounts, "/media/ann/My Share"),
              (std::vector<QByteArray>{"/media/ann/My Share/inner"}));
    EXPECT_TRUE(mountPointsBelow(mounts, "/home").empty());
    EXPECT_FALSE(readMountTable().empty());
}

TEST(MountTable, NetworkFuseAndUnknownFileSystemsMayHang) {
    for (const char *type : {"ext4", "xfs", "btrfs", "vfat", "tmpfs", "overlay"})
        EXPECT_FALSE(mayHang(type)) << type;
    for (const char *type : {"nfs4", "cifs", "fuse.sshfs", "fuseblk", "fuse", "9p", "somethingnew"})
        EXPECT_TRUE(mayHang(type)) << type;
}

TEST(LateAnswers, AnUnansweredQuestionIsAskedOnceAndItsLateAnswerKept) {
    LateAnswers<bool> answers;
    std::atomic<bool> release = false;
    std::atomic<int> asked = 0;
    const auto stuck = [&] {
        ++asked;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return true;
    };
    EXPECT_EQ(answers.ask("dead", stuck, std::chrono::milliseconds(50)), std::nullopt);
    EXPECT_EQ(answers.ask("dead", stuck, std::chrono::hours(1)), std::nullopt); // at once: still waiting
    EXPECT_EQ(answers.ask(
                  "alive", [] { return false; }, std::chrono::seconds(10)),
              false);
    release = true;
    for (int i = 0; i < 400 && answers.ask("dead", stuck, std::chrono::milliseconds(5)) != true; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(answers.ask("dead", stuck, std::chrono::milliseconds(0)), true);
    EXPECT_EQ(asked, 1);
}
