// SPDX-License-Identifier: GPL-3.0-or-later
#include "StallingMount.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

std::optional<StallingMount> StallingMount::current() {
    const QByteArray folder = qgetenv("STALLFS_MOUNT");
    const pid_t server = pid_t(qEnvironmentVariableIntValue("STALLFS_PID"));
    if (folder.isEmpty() || server <= 0)
        return std::nullopt;
    return StallingMount(folder, server);
}

void StallingMount::runCurrentTestInside(const QByteArray &folder, int timeoutMs) {
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2")
                               .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()));
    QProcess session;
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.start(QStringLiteral(LUMSIFTER_STALLFS),
                  {QStringLiteral("--session"), QString::fromLocal8Bit(folder), QStringLiteral("--"),
                   QCoreApplication::applicationFilePath(), filter});
    const bool ended = session.waitForFinished(timeoutMs);
    if (!ended) {
        session.terminate(); // the session kills the server first, which frees whatever waits on it
        session.waitForFinished(5000);
    }
    const QByteArray output = session.readAll();
    if (ended && session.exitStatus() == QProcess::NormalExit && session.exitCode() == 77)
        GTEST_SKIP() << "no private mount namespace for the stalling file system: "
                     << output.trimmed().constData();
    EXPECT_TRUE(ended) << "the run beside the stalling file system took over " << timeoutMs << " ms";
    EXPECT_EQ(session.exitCode(), 0) << "the run beside the stalling file system failed:\n"
                                     << output.constData();
    if (output.contains("[  SKIPPED ]"))
        GTEST_SKIP() << output.constData();
}

void StallingMount::stall() const {
    ::kill(server_, SIGUSR1);
}

void StallingMount::answer() const {
    ::kill(server_, SIGUSR2);
}
