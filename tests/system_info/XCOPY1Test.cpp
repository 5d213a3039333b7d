// SPDX-License-Identifier: GPL-3.0-or-later
// The socket routines on a sockets library that fails where each test asks.
#include "system_info/XCOPY1.h"
#include "Fakes.h"

#include <gtest/gtest.h>

#include <functional>

using system_info::XCOPY1;

namespace {

class SocketRoutines : public ::testing::Test {
protected:
    QString hostName() { return XCOPY1(sockets, messages).getHostName(); }
    QStringList prompts() const {
        QStringList texts;
        for (const FakeMessageBox::Shown &box : messages.shown)
            texts << box.prompt;
        return texts;
    }

    FakeSockets sockets;
    FakeMessageBox messages;
};

TEST_F(SocketRoutines, GivesTheNameAsTheLibraryWritesItAndEndsTheLibrary) {
    sockets.hostName = "WorkStation-7";
    EXPECT_EQ(hostName(), QStringLiteral("WorkStation-7"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(sockets.requested, 0x0101);
    EXPECT_EQ(sockets.startups, 1);
    EXPECT_EQ(sockets.cleanups, 1);
}

TEST_F(SocketRoutines, AcceptsVersionsFromOneOneUp) {
    for (const std::uint16_t version : {0x0101, 0x0201, 0x0002, 0x0202}) {
        sockets.version = version;
        EXPECT_EQ(hostName(), QStringLiteral("TestHost")) << std::hex << version;
    }
    EXPECT_TRUE(messages.shown.empty());
}

struct FailurePath {
    const char *name;
    std::function<void(FakeSockets &)> breakIt;
    QString message;
    int cleanups; // a library that did not start is not ended
};

void PrintTo(const FailurePath &path, std::ostream *out) {
    *out << path.name;
}

class SocketFailure : public SocketRoutines, public ::testing::WithParamInterface<FailurePath> {};

TEST_P(SocketFailure, GivesNoNameAndOneOkBoxWithTheApplicationTitle) {
    GetParam().breakIt(sockets);
    EXPECT_EQ(hostName(), QString());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt, GetParam().message);
    EXPECT_EQ(messages.shown[0].style, 0);
    EXPECT_EQ(messages.shown[0].title, QString());
    EXPECT_EQ(sockets.startups, 1);
    EXPECT_EQ(sockets.cleanups, GetParam().cleanups);
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, SocketFailure,
    ::testing::Values(
        FailurePath{"StartUp", [](FakeSockets &s) { s.startupResult = 10091; },
                    QStringLiteral("The 32-bit Windows Socket is not responding."), 0},
        FailurePath{"NoSockets", [](FakeSockets &s) { s.maxSockets = 0; },
                    QStringLiteral("This application requires a minimum of 1 supported sockets."), 1},
        FailurePath{"VersionOneZero", [](FakeSockets &s) { s.version = 0x0001; },
                    QStringLiteral("Sockets version 1.0 is not supported by 32-bit Windows Sockets."), 1},
        FailurePath{"VersionZeroNine", [](FakeSockets &s) { s.version = 0x0900; },
                    QStringLiteral("Sockets version 0.9 is not supported by 32-bit Windows Sockets."), 1},
        FailurePath{
            "HostName",
            [](FakeSockets &s) {
                s.hostNameFails = true;
                s.hostNameError = 10093;
            },
            QStringLiteral("Windows Sockets error  10093 has occurred. Unable to successfully get Host "
                           "Name."),
            1}),
    [](const ::testing::TestParamInfo<FailurePath> &info) { return info.param.name; });

TEST_F(SocketRoutines, FailedCleanUpIsToldButTheNameIsKept) {
    sockets.cleanupResult = 10093;
    EXPECT_EQ(hostName(), QStringLiteral("TestHost"));
    EXPECT_EQ(prompts(), QStringList{QStringLiteral("Socket error occurred in Cleanup.")});
    EXPECT_EQ(messages.shown[0].style, 0);
    EXPECT_EQ(messages.shown[0].title, QString());
}

TEST_F(SocketRoutines, RefusedStartAndFailedCleanUpAreToldInTurn) {
    sockets.version = 0x0001;
    sockets.cleanupResult = 1;
    EXPECT_EQ(hostName(), QString());
    EXPECT_EQ(prompts(), (QStringList{QStringLiteral("Sockets version 1.0 is not supported by 32-bit Windows "
                                                     "Sockets."),
                                      QStringLiteral("Socket error occurred in Cleanup.")}));
}

TEST(VersionWord, SplitsIntoMajorLowAndMinorHigh) {
    EXPECT_EQ(XCOPY1::lowByte(0x0201), 1);
    EXPECT_EQ(XCOPY1::highByte(0x0201), 2);
    EXPECT_EQ(XCOPY1::lowByte(0x0002), 2);
    EXPECT_EQ(XCOPY1::highByte(0x0002), 0);
    EXPECT_EQ(XCOPY1::highByte(0x7fff), 0x7f);
    // A word from 0x8000 up is taken as signed: 0x8001 is -32767, -127 after the truncating
    // division, 0x81 once masked.
    EXPECT_EQ(XCOPY1::highByte(0x8001), 0x81);
}

} // namespace
