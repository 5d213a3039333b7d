// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/ResultListModel.h"

#include "platform/PathCodec.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using search_component::ResultListModel;

using search_component::FoundName;
using search_component::noFolder;

namespace {

void appendNames(ResultListModel &model, std::uint32_t folder, const std::vector<std::string> &names) {
    std::string arena;
    std::vector<FoundName> found;
    for (const std::string &name : names) {
        found.push_back(FoundName{folder, std::uint32_t(arena.size()), std::uint32_t(name.size())});
        arena += name;
    }
    model.appendFiles(found, arena);
}

} // namespace

TEST(ResultListModel, ComposesFullPathsWithoutDoublingTheSeparator) {
    ResultListModel model;
    const std::uint32_t slash = model.addFolder(noFolder, "/");
    const std::uint32_t home = model.addFolder(slash, "home");
    const std::uint32_t ann = model.addFolder(home, "ann");
    const std::uint32_t media = model.addFolder(noFolder, "/media/USB");
    appendNames(model, slash, {"vmlinuz"});
    appendNames(model, ann, {"a.txt", "b c.jpg"});
    appendNames(model, media, {"song.mp3"});

    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.text(0), "/vmlinuz");
    EXPECT_EQ(model.text(1), "/home/ann/a.txt");
    EXPECT_EQ(model.text(2), "/home/ann/b c.jpg");
    EXPECT_EQ(model.text(3), "/media/USB/song.mp3");
    EXPECT_EQ(model.data(model.index(1)).toString(), "/home/ann/a.txt");
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.text(4), QString());
    EXPECT_EQ(model.bytes(-1), QByteArray());
}

TEST(ResultListModel, UndecodableBytesRoundTripExactly) {
    ResultListModel model;
    const std::uint32_t root = model.addFolder(noFolder, "/data/\xff\xfe");
    const std::uint32_t sub = model.addFolder(root, "caf\xe9");
    appendNames(model, sub, {"\xc3\x28.txt", std::string("nul\x80", 4)});

    EXPECT_EQ(model.bytes(0), QByteArray("/data/\xff\xfe/caf\xe9/\xc3\x28.txt"));
    EXPECT_EQ(platform::encodePath(model.text(0)), model.bytes(0));
    EXPECT_EQ(platform::encodePath(model.text(1)), QByteArray("/data/\xff\xfe/caf\xe9/nul\x80"));
}

TEST(ResultListModel, LinesAreRowsWithoutFolderAndClearEmptiesEverything) {
    ResultListModel model;
    model.addItem("WELCOME!");
    model.addItem("");
    const std::uint32_t root = model.addFolder(noFolder, "/tmp");
    appendNames(model, root, {"x"});
    model.addItem("Ünïcode line");
    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.text(0), "WELCOME!");
    EXPECT_EQ(model.text(1), "");
    EXPECT_EQ(model.text(2), "/tmp/x");
    EXPECT_EQ(model.text(3), "Ünïcode line");

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.clear();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.memoryBytes(), 0u);
    model.addItem("again");
    EXPECT_EQ(model.text(0), "again");
}

TEST(ResultListModel, InsertsEachBatchAsOneBlockOfRows) {
    ResultListModel model;
    model.addItem("first");
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const std::uint32_t root = model.addFolder(noFolder, "/r");
    appendNames(model, root, {"a", "b", "c"});
    appendNames(model, root, {});
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1) << "first row";
    EXPECT_EQ(inserted[0][2].toInt(), 3) << "last row";
}

TEST(ResultListModel, KeepsLongTextsAndBadReferencesHarmless) {
    ResultListModel model;
    const QString huge(3 << 20, QChar('x')); // longer than a storage chunk
    const std::string name200(200, 'n');     // a length that takes two bytes
    model.addItem(huge);
    const std::uint32_t root = model.addFolder(noFolder, "/r");
    appendNames(model, root, {name200});
    appendNames(model, 12345, {"orphan"}); // a folder id never given out
    model.appendFiles(std::vector<FoundName>{{root, 999, 5}}, "abc");
    const std::uint32_t badParent = model.addFolder(777, "/other");

    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.text(0), huge);
    EXPECT_EQ(model.bytes(1), QByteArray::fromStdString("/r/" + name200));
    EXPECT_EQ(model.text(2), "orphan");
    EXPECT_EQ(model.text(3), "/r/");
    appendNames(model, badParent, {"y"});
    EXPECT_EQ(model.text(4), "/other/y");
}

// A million results the shape of a real tree (about 10 files per folder, names of 10 to 30 bytes,
// paths of over 100 bytes) stay compact at every point of the fill.
TEST(ResultListModel, StaysCompactForAMillionResults) {
    ResultListModel model;
    const std::uint32_t root = model.addFolder(noFolder, "/srv/generated-benchmark-tree");
    std::vector<std::uint32_t> folders = {root};
    std::uint32_t seed = 1;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const auto name = [&](std::size_t length) {
        std::string s;
        for (std::size_t i = 0; i < length; ++i)
            s += char('a' + next() % 26);
        return s;
    };
    std::size_t peak = 0;
    const int total = 1'000'000;
    for (int done = 0; done < total;) {
        const std::uint32_t parent = folders[next() % folders.size()];
        folders.push_back(model.addFolder(parent, name(10 + next() % 21)));
        std::vector<std::string> names;
        for (int k = 0; k < 10 && done < total; ++k, ++done)
            names.push_back(name(6 + next() % 21) + ".txt");
        appendNames(model, folders.back(), names);
        peak = std::max(peak, model.memoryBytes());
    }
    ASSERT_EQ(model.count(), total);
    EXPECT_GT(model.bytes(total - 1).size(), 60);
    EXPECT_LT(double(peak) / total, 48.0);
}
