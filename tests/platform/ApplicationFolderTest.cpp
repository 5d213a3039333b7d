// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program writes: beside itself when it may, else in the user's data folder.
#include "platform/ApplicationFolder.h"

#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/PathCodec.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

QByteArray bytes(const QString &path) {
    return encodePath(path);
}

} // namespace

TEST(ApplicationFolder, AWritableProgramFolderHoldsEverythingAsBefore) {
    const ApplicationFolders folders =
        chooseApplicationFolders("/home/ann/Lumsifter", true, "/home/ann/data", "/home/ann");
    EXPECT_EQ(folders.application, QStringLiteral("/home/ann/Lumsifter"));
    EXPECT_EQ(folders.ownFiles, QStringLiteral("/home/ann/Lumsifter"));
    EXPECT_FALSE(folders.madeWhenNeeded);
}

TEST(ApplicationFolder, AReadOnlyProgramFolderWritesIntoTheUsersDataFolder) {
    ApplicationFolders folders = chooseApplicationFolders("/usr/lib/lumsifter", false, "", "/home/ann");
    EXPECT_EQ(folders.application, QStringLiteral("/home/ann/.local/share/lumsifter"));
    EXPECT_EQ(folders.ownFiles, QStringLiteral("/usr/lib/lumsifter")) << "its own files stay beside it";
    EXPECT_TRUE(folders.madeWhenNeeded);

    folders = chooseApplicationFolders("/usr/lib/lumsifter", false, "/srv/ann-data/", "/home/ann");
    EXPECT_EQ(folders.application, QStringLiteral("/srv/ann-data/lumsifter"));

    // A relative XDG_DATA_HOME is invalid and ignored; a home of / gives no doubled separator.
    folders = chooseApplicationFolders("/usr/lib/lumsifter", false, "data", "/");
    EXPECT_EQ(folders.application, QStringLiteral("/.local/share/lumsifter"));
}

TEST(ApplicationFolder, WithoutAnyHomeTheProgramFolderStays) {
    const ApplicationFolders folders = chooseApplicationFolders("/usr/lib/lumsifter", false, "", "");
    EXPECT_EQ(folders.application, QStringLiteral("/usr/lib/lumsifter"));
    EXPECT_FALSE(folders.madeWhenNeeded);
}

TEST(ApplicationFolder, NamesInOtherEncodingsKeepTheirBytes) {
    const ApplicationFolders folders = chooseApplicationFolders("/opt/caf\xe9", false, "", "/home/J\xfcrgen");
    EXPECT_EQ(encodePath(folders.ownFiles), QByteArray("/opt/caf\xe9"));
    EXPECT_EQ(encodePath(folders.application), QByteArray("/home/J\xfcrgen/.local/share/lumsifter"));
}

TEST(ApplicationFolder, WritabilityIsThatOfTheUser) {
    TempFolder dir;
    const QByteArray folder = bytes(dir.path());
    EXPECT_TRUE(isWritableFolder(folder));
    EXPECT_FALSE(isWritableFolder(folder + "/missing"));
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder; the package check runs a user on a read-only one";
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    EXPECT_FALSE(isWritableFolder(folder));
    ::chmod(folder.constData(), 0755);
}

TEST(ApplicationFolder, TheDataFolderIsMadeWithItsParentsPrivately) {
    TempFolder dir;
    const QByteArray data = bytes(dir.path()) + "/home/.local/share/lumsifter";
    ASSERT_TRUE(makeFolders(data));
    struct stat info {};
    ASSERT_EQ(::stat(data.constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((bytes(dir.path()) + "/home/.local").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(makeFolders(data)) << "an existing folder is fine";
    EXPECT_TRUE(makeFolders(data + '/')) << "so is a trailing separator";

    // A file where a folder should be is a clear failure.
    ASSERT_TRUE(appendToFile(bytes(dir.path()) + "/plain", "x"));
    EXPECT_FALSE(makeFolders(bytes(dir.path()) + "/plain"));
    const Result<void> below = makeFolders(bytes(dir.path()) + "/plain/lumsifter");
    ASSERT_FALSE(below);
    EXPECT_FALSE(below.error().text().isEmpty());
}
