#include "StreamedSearch.h"
#include "main_window/ResultListView.h"
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string root = argv[1];
    const char* pattern = argv[2];
    int n = atoi(argv[3]);
    ResultListView list; list.resize(900, 400); list.show();
    QWidget form;
    lumsift::SnapshotStore store;
    const lumsift::NameMatcher matcher(pattern);
    for (int i = 0; i <= n; ++i) {
        list.clear();
        QElapsedTimer t; t.start();
        auto r = lumsift::streamSearch(list.results(), store, root, matcher, form);
        std::printf("%s %d: %.1f ms (refresh %.1f ms) results %d checked %llu reread %llu\n", i ? "repeat" : "first", i, t.nsecsElapsed() / 1e6, r.refreshSeconds * 1e3, list.listCount(), (unsigned long long)r.walk.checkedFolders, (unsigned long long)r.walk.rereadFolders);
    }
}
