// SPDX-License-Identifier: GPL-3.0-or-later
// The mount table and questions with a deadline.
#include "base/MountTable.h"
#include "base/LateAnswers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace base;

TEST(MountTable, ReadsTheTableAndFindsMountsByPath) {
    const std::vector<Mount> mounts =
        parseMountInfo("26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                       "27 26 0:24 / /home rw - btrfs /dev/vdb rw\n"
                       "30 26 0:50 / /media/My\\040Share rw - cifs //nas/s rw\n"
                       "31 30 0:51 / /media/My\\040Share/in rw - fuse.sshfs h: rw\n"
                       "33 26 0:53 / /homework rw - tmpfs tmpfs rw\n"
                       "34 27 0:54 / /home rw - ext4 /dev/vdc rw\n"
                       "not a mount line\n");
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[2].id, 30);
    EXPECT_EQ(mounts[2].parentId, 26);
    EXPECT_EQ(mounts[2].mountPoint, "/media/My Share");
    EXPECT_EQ(mounts[2].type, "cifs");
    // Path, the id of the mount holding it: the longest mount point, the later of two stacked ones.
    const std::pair<const char *, int> holding[] = {{"/etc", 26},
                                                    {"/home/ann", 34},
                                                    {"/homework/x", 33},
                                                    {"/media/My Share/in/a", 31},
                                                    {"/media/My Sharex", 26}};
    for (const auto &[path, id] : holding)
        EXPECT_EQ(mountHolding(mounts, path)->id, id) << path;
    EXPECT_EQ(mountPointsBelow(mounts, "/"),
              (std::vector<QByteArray>{"/home", "/media/My Share", "/media/My Share/in", "/homework"}));
    EXPECT_EQ(mountPointsBelow(mounts, "/media/My Share"), (std::vector<QByteArray>{"/media/My Share/in"}));
    EXPECT_TRUE(mountPointsBelow(mounts, "/home").empty());
    EXPECT_FALSE(readMountTable().empty());
    for (const char *type : {"ext4", "xfs", "btrfs", "vfat", "tmpfs", "overlay"})
        EXPECT_FALSE(mayHang(type)) << type;
    for (const char *type : {"nfs4", "cifs", "fuse.sshfs", "fuseblk", "9p", "somethingnew"})
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
