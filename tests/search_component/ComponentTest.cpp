// SPDX-License-Identifier: GPL-3.0-or-later
#include "Differential.h"
#include "Fakes.h"
#include "TempFolder.h"
#include "TempTree.h"
#include "search_component/plugin/StreamedSearch.h"

#include "platform/PathCodec.h"
#include "search_component/LumsiftControl.h"
#include "search_component/ResultListModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>

#include <sys/mount.h>

#include <gtest/gtest.h>

#include <map>

namespace plugin = search_component::plugin;

using search_component::LumsiftControl;
using search_component::ResultListModel;

using Paths = std::set<std::string>;

namespace {

// A tree large enough that a walk of it spans several ticks of a fast timer.
Paths fillTree(const TempTree &tree, int folders = 300, int filesEach = 30) {
    Paths texts;
    for (int i = 0; i < folders; ++i) {
        const std::string folder = "f" + std::to_string(i % 10) + "/sub" + std::to_string(i);
        if (i < 10)
            tree.folder("f" + std::to_string(i));
        tree.folder(folder);
        for (int k = 0; k < filesEach; ++k) {
            const std::string name = folder + "/n" + std::to_string(k) + (k % 3 ? ".dat" : ".txt");
            tree.file(name);
            if (k % 3 == 0)
                texts.insert(tree.path(name));
        }
    }
    return texts;
}

Paths rowsOf(const ResultListModel &model, int from = 0) {
    Paths paths;
    for (int row = from; row < model.count(); ++row)
        paths.insert(model.bytes(row).toStdString());
    return paths;
}

QString componentFile() {
    return builtProgramFolder() + "/Lumsift.ocx";
}

// A sink that checks the order of what it receives: a folder's parent, and a file's folder, come
// before it.
class CheckingSink : public search_component::ResultSink {
public:
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override {
        if (parent == search_component::noFolder)
            EXPECT_TRUE(name.starts_with('/'));
        else
            EXPECT_LT(parent, paths.size());
        paths.push_back(parent == search_component::noFolder ? std::string(name)
                                                             : paths[parent] + "/" + std::string(name));
        return std::uint32_t(paths.size() - 1);
    }
    void appendFiles(std::span<const search_component::FoundName> names, std::string_view arena) override {
        ++batches;
        for (const search_component::FoundName &name : names) {
            EXPECT_LT(name.folder, paths.size());
            files.insert(paths[name.folder] + "/" + std::string(arena.substr(name.offset, name.length)));
        }
    }

    std::vector<std::string> paths;
    Paths files;
    int batches = 0;
};

// A sink that keeps the full paths of the files in the order they come.
class OrderSink : public search_component::ResultSink {
public:
    std::uint32_t addFolder(std::uint32_t parent, std::string_view name) override {
        folders.push_back(parent == search_component::noFolder
                              ? std::string(name)
                              : folders.at(parent) + "/" + std::string(name));
        return std::uint32_t(folders.size() - 1);
    }
    void appendFiles(std::span<const search_component::FoundName> names, std::string_view arena) override {
        for (const search_component::FoundName &name : names)
            files.push_back(folders.at(name.folder) + "/" +
                            std::string(arena.substr(name.offset, name.length)));
    }

    std::vector<std::string> folders;
    std::vector<std::string> files;
};

} // namespace

TEST(Component, MissingOrGarbageFilesLoadNothingAndChangeNothing) {
    TempFolder dir;
    QFile garbage(dir.filePath("Lumsift.ocx"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x7f') + "ELF not really");
    garbage.close();
    QWidget form;
    form.setWindowTitle("Not Set");
    for (const QString &file : {dir.filePath("missing.ocx"), garbage.fileName(), dir.path()}) {
        LumsiftControl control(file, std::make_shared<FakeVolumes>());
        ResultListModel list;
        list.addItem("WELCOME!");
        EXPECT_FALSE(control.isLoaded()) << file.toStdString();
        control.FindFiles(list, dir.path(), "*", form);
        EXPECT_EQ(list.count(), 1);
        EXPECT_EQ(form.windowTitle(), "Not Set");
    }
}

TEST(Component, BuiltFileFindsFullPathsThroughADriveLetter) {
    TempTree tree;
    const Paths texts = fillTree(tree, 20, 6);
    auto volumes = std::make_shared<FakeVolumes>();
    volumes->list = {platform::Drive{'C', "/"}, platform::Drive{'D', QByteArray::fromStdString(tree.root())}};
    LumsiftControl control(componentFile(), volumes);
    ASSERT_TRUE(control.isLoaded()) << componentFile().toStdString();

    ResultListModel list;
    QWidget form;
    control.FindFiles(list, "D:", "*.TXT", form);
    EXPECT_EQ(rowsOf(list), texts);
    // A second call appends to the same list, as the all-drives search does.
    control.FindFiles(list, QString::fromStdString(tree.root() + "/"), "n1.dat", form);
    EXPECT_EQ(list.count(), int(texts.size()) + 20);
    EXPECT_EQ(list.text(int(texts.size())).left(int(tree.root().size())),
              QString::fromStdString(tree.root()));
}

TEST(Component, WritesCaptionsAndKeepsTimersRunningDuringTheCall) {
    TempTree tree;
    const Paths texts = fillTree(tree);
    LumsiftControl control(componentFile(), std::make_shared<FakeVolumes>());
    ResultListModel list;
    QWidget form;
    QSignalSpy captions(&form, &QWidget::windowTitleChanged);
    QTimer timer;
    timer.setInterval(1);
    QSignalSpy ticks(&timer, &QTimer::timeout);
    timer.start();

    control.FindFiles(list, QString::fromStdString(tree.root()), "*.txt", form);
    timer.stop();

    EXPECT_EQ(rowsOf(list), texts);
    EXPECT_GT(ticks.count(), 0);
    ASSERT_FALSE(captions.empty());
    const QString root = QString::fromStdString(tree.root());
    EXPECT_EQ(captions.front().front().toString(), root);
    for (const QList<QVariant> &caption : captions)
        EXPECT_TRUE(caption.front().toString().startsWith(root)) << caption.front().toString().toStdString();
}

TEST(Component, HostileArgumentsEndWithoutResults) {
    TempTree tree;
    tree.file("a.txt");
    LumsiftControl control(componentFile(), std::make_shared<FakeVolumes>());
    ResultListModel list;
    QWidget form;
    const QString root = QString::fromStdString(tree.root());
    for (const QString &pattern : {QString(), QString("a/b"), QString("  "), QString(10000, '?')})
        control.FindFiles(list, root, pattern, form);
    control.FindFiles(list, "relative/folder", "*", form);
    control.FindFiles(list, root + "/missing", "*", form);
    control.FindFiles(list, "Q:", "*", form);
    EXPECT_EQ(list.count(), 0);
    control.FindFiles(list, root, "A.TXT", form);
    EXPECT_EQ(list.count(), 1);
}

TEST(StreamedSearch, HandsFoldersBeforeTheirFilesAndOnlyFoldersWithResults) {
    TempTree tree;
    const Paths texts = fillTree(tree, 60, 9);
    tree.folder("empty");
    tree.folder("empty/deeper");
    CheckingSink sink;
    QWidget form;
    const plugin::NameMatcher matcher("*.txt");
    plugin::StreamOptions options;
    options.tick = std::chrono::milliseconds(1);
    plugin::SnapshotStore store;
    plugin::streamSearch(sink, store, tree.root(), matcher, form, options);
    EXPECT_EQ(sink.files, texts);
    EXPECT_EQ(sink.paths.size(), 1u + 10u + 60u); // the root, f0..f9 and the sub folders
    EXPECT_EQ(std::count(sink.paths.begin(), sink.paths.end(), tree.path("empty")), 0);
    EXPECT_GE(sink.batches, 1);
}

TEST(StreamedSearch, RootsAreAbsoluteWithoutTrailingSeparators) {
    EXPECT_EQ(plugin::searchRoot("/"), "/");
    EXPECT_EQ(plugin::searchRoot("///"), "/");
    EXPECT_EQ(plugin::searchRoot("/home/ann/"), "/home/ann");
    EXPECT_EQ(plugin::searchRoot(platform::decodePath("/data/\xff")), "/data/\xff");
    EXPECT_EQ(plugin::searchRoot("home"), "");
    EXPECT_EQ(plugin::searchRoot(""), "");
}

TEST(StreamedSearch, RepeatSearchesComeFromTheSnapshotInTheSameOrderWithCaptionsAndTimers) {
    TempTree tree;
    fillTree(tree, 60, 9);
    plugin::SnapshotStore store;
    QWidget form;
    const plugin::NameMatcher matcher("*");
    plugin::StreamOptions options;
    options.tick = std::chrono::milliseconds(1);
    std::vector<std::vector<std::string>> lists;
    for (int search = 0; search < 3; ++search) {
        if (search == 2)
            tree.file("f3/sub3/late.txt");
        OrderSink sink;
        QSignalSpy captions(&form, &QWidget::windowTitleChanged);
        QTimer timer;
        timer.setInterval(0);
        QSignalSpy ticks(&timer, &QTimer::timeout);
        timer.start();
        const plugin::SearchReport report =
            plugin::streamSearch(sink, store, tree.root(), matcher, form, options);
        timer.stop();
        EXPECT_EQ(report.fromSnapshot, search > 0);
        EXPECT_EQ(report.results, sink.files.size());
        EXPECT_GT(ticks.count(), 0) << search;
        EXPECT_FALSE(captions.empty()) << search;
        EXPECT_EQ(sink.files, referencePaths(tree.root(), "*")) << search;
        lists.push_back(sink.files);
    }
    EXPECT_EQ(lists[1], lists[0]);
    EXPECT_EQ(lists[2].size(), lists[0].size() + 1);
}

TEST(StreamedSearch, ForgetsADriveThatIsGoneAndRereadsOneReplacedByAnotherFolder) {
    TempTree tree;
    tree.folder("drive");
    tree.file("drive/old.txt");
    const std::string drive = tree.path("drive");
    plugin::SnapshotStore store;
    QWidget form;
    const plugin::NameMatcher matcher("*.txt");
    OrderSink first;
    plugin::streamSearch(first, store, drive, matcher, form);
    ASSERT_EQ(store.size(), 1u);

    // Another folder under the same name: its own files, not the snapshot's.
    ASSERT_EQ(::rename(drive.c_str(), tree.path("away").c_str()), 0);
    tree.folder("drive");
    tree.file("drive/new.txt");
    OrderSink second;
    const plugin::SearchReport report = plugin::streamSearch(second, store, drive, matcher, form);
    EXPECT_FALSE(report.fromSnapshot);
    EXPECT_EQ(second.files, std::vector<std::string>{tree.path("drive/new.txt")});

    removeTree(drive);
    OrderSink third;
    plugin::streamSearch(third, store, drive, matcher, form);
    EXPECT_TRUE(third.files.empty());
    EXPECT_EQ(store.size(), 0u);

    // A drive unmounted is forgotten before any search, by the mount table alone.
    tree.folder("drive");
    if (::mount("lumsift-test", drive.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount here";
    OrderSink mounted;
    plugin::streamSearch(mounted, store, drive, matcher, form);
    ASSERT_EQ(store.size(), 1u);
    ::umount2(drive.c_str(), MNT_DETACH);
    store.dropVanished();
    EXPECT_EQ(store.size(), 0u);
}
