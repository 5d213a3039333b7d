// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's sockets and facts: the meminfo reader on sample texts, the real seams on this machine.
#include "platform/Sockets.h"
#include "platform/SystemFacts.h"

#include <sys/utsname.h>

#include <gtest/gtest.h>

#include <cstring>

using platform::memoryFromMeminfo;

TEST(MeminfoReader, ReadsTotalAndAvailableInBytes) {
    const QByteArray text = "MemTotal:       16303460 kB\n"
                            "MemFree:          912344 kB\n"
                            "MemAvailable:    9876544 kB\n"
                            "Buffers:          200000 kB\n";
    const platform::MemoryStatus status = memoryFromMeminfo(text);
    EXPECT_EQ(status.totalPhys, 16303460ull * 1024);
    EXPECT_EQ(status.availPhys, 9876544ull * 1024);
}

TEST(MeminfoReader, FallsBackToFreeMemoryAndGivesZeroWithoutTotal) {
    EXPECT_EQ(memoryFromMeminfo("MemTotal: 2048 kB\nMemFree: 1024 kB\n").availPhys, 1024ull * 1024);
    // A field whose name only starts like another is not taken for it.
    EXPECT_EQ(memoryFromMeminfo("MemTotalX: 2048 kB\nMemFree: 1024 kB\n").totalPhys, 0u);
    EXPECT_EQ(memoryFromMeminfo("").totalPhys, 0u);
    EXPECT_EQ(memoryFromMeminfo("MemTotal: lots kB\n").totalPhys, 0u);
}

TEST(RealSeams, SocketsOfferVersionOneOneAndThisMachinesName) {
    platform::SystemSockets sockets;
    platform::SocketsData data;
    ASSERT_EQ(sockets.startup(0x0101, data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_GE(data.iMaxSockets, 1);

    char buffer[256] = {};
    ASSERT_NE(sockets.gethostname(buffer, sizeof buffer), -1);
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_STREQ(buffer, names.nodename);
    EXPECT_EQ(sockets.cleanup(), 0);
}

TEST(RealSeams, FactsReadThisMachinesMemoryAndUser) {
    platform::LocalSystemFacts facts;
    const platform::MemoryStatus memory = facts.memoryStatus();
    EXPECT_GT(memory.totalPhys, 16ull * 1024 * 1024);
    EXPECT_GT(memory.availPhys, 0u);
    EXPECT_LE(memory.availPhys, memory.totalPhys);
    EXPECT_TRUE(facts.userName().has_value());
}
