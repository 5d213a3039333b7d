// SPDX-License-Identifier: GPL-3.0-or-later
// The system-information tick on the running program: the bottom bar's three lines, the socket
// failures and their messages, driven tick by tick.
#include "AppFixture.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>

#include <functional>

using main_window::Form1;

namespace {

class BottomBar : public AppFixture {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        AppFixture::SetUp();
    }
    void TearDown() override {
        AppFixture::TearDown();
        QLocale::setDefault(savedLocale);
    }

    void tick() { status().on_Timer3_timeout(); }
    FakeSockets &sockets() { return *fakes.sockets; }
    FakeSystemFacts &facts() { return *fakes.systemFacts; }
    FakeMessageBox &messages() { return *fakes.messages; }

    const QLocale savedLocale;
    static constexpr std::uint64_t MB = FakeSystemFacts::MB;
};

TEST_F(BottomBar, OneTickFillsTheThreeLinesAsThePlatformGivesThem) {
    sockets().hostName = "Lab-PC01.local";
    facts().user = QStringLiteral("JDoe");
    ASSERT_EQ(c().Label26->text(), QStringLiteral("Label26"));
    tick();
    EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: Lab-PC01.local"));
    EXPECT_EQ(c().Label25->text(), QStringLiteral("RAM: 256 MB of 512 MB   [50.00% in used]"));
    EXPECT_EQ(c().Label27->text(), QStringLiteral("Your Domain:  JDoe"));
    EXPECT_EQ(status().Command1.Caption, c().Label25->text());
    EXPECT_EQ(status().Command1.Tag, c().Label27->text());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(BottomBar, EveryTickShowsTheCurrentFacts) {
    tick();
    sockets().hostName = "renamed";
    facts().memory = {.totalPhys = 2048 * MB, .availPhys = 1536 * MB};
    facts().user = std::nullopt;
    tick();
    EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: renamed"));
    EXPECT_EQ(c().Label25->text(), QStringLiteral("RAM: 1,536 MB of 2,048 MB   [25.00% in used]"));
    EXPECT_EQ(c().Label27->text(), QStringLiteral("You are not logged in"));
    EXPECT_EQ(sockets().startups, sockets().cleanups);
}

TEST_F(BottomBar, ASocketsFailureLeavesTheComputerNameEmptyAndTheOtherLinesGoOn) {
    const std::vector<std::function<void(FakeSockets &)>> failures = {
        [](FakeSockets &s) { s.startupResult = 10091; },
        [](FakeSockets &s) { s.maxSockets = 0; },
        [](FakeSockets &s) { s.version = 0x0001; },
        [](FakeSockets &s) { s.hostNameFails = true; },
    };
    for (std::size_t i = 0; i < failures.size(); ++i) {
        sockets() = FakeSockets{};
        tick();
        ASSERT_EQ(c().Label26->text(), QStringLiteral("Computer Name: TestHost"));
        failures[i](sockets());
        facts().user = QStringLiteral("user%1").arg(i);
        tick();
        EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: ")) << "failure " << i;
        EXPECT_EQ(c().Label27->text(), QStringLiteral("Your Domain:  user%1").arg(i)) << "failure " << i;
        EXPECT_EQ(boxes().size(), i + 1) << "failure " << i;
    }
}

TEST_F(BottomBar, AFailedCleanUpStillShowsTheName) {
    sockets().cleanupResult = 1;
    tick();
    EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: TestHost"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].prompt, QStringLiteral("Socket error occurred in Cleanup."));
}

TEST_F(BottomBar, AZeroTotalSkipsTheMemoryLineOnly) {
    tick();
    const QString before = c().Label25->text();
    facts().memory = {.totalPhys = 0, .availPhys = 100 * MB};
    facts().user = QStringLiteral("later");
    tick();
    EXPECT_EQ(status().Command1.Caption, before);
    EXPECT_EQ(c().Label25->text(), before);
    EXPECT_EQ(c().Label27->text(), QStringLiteral("Your Domain:  later"));
}

TEST_F(BottomBar, TicksWhileAMessageIsOpenOpenNoOtherButKeepTheLinesCurrent) {
    sockets().startupResult = 10091;
    int nestedTicks = 0;
    messages().whileOpen = [&] {
        facts().memory = {.totalPhys = 512 * MB, .availPhys = 128 * MB};
        for (int i = 0; i < 5; ++i, ++nestedTicks)
            tick();
    };
    tick();
    EXPECT_EQ(nestedTicks, 5);
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(sockets().startups, 1); // the ticks inside the box did not ask for the name
    EXPECT_EQ(c().Label25->text(), QStringLiteral("RAM: 128 MB of 512 MB   [75.00% in used]"));
    EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: "));

    // Once the box is closed, a failure is told again.
    messages().whileOpen = nullptr;
    tick();
    EXPECT_EQ(boxes().size(), 2u);
}

TEST_F(BottomBar, ARefreshWhileAMessageIsOpenWritesTheNewMainWindow) {
    sockets().hostNameFails = true;
    messages().whileOpen = [&] {
        app->refresh();
        QCoreApplication::processEvents();
    };
    const QPointer<Form1> before = app->form1();
    tick();
    ASSERT_TRUE(before.isNull()); // the window the tick began with is gone
    EXPECT_EQ(c().Label26->text(), QStringLiteral("Computer Name: "));
    EXPECT_EQ(c().Label25->text(), QStringLiteral("RAM: 256 MB of 512 MB   [50.00% in used]"));
}

} // namespace
