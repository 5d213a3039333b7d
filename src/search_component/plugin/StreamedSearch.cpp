#include "StreamedSearch.h"

#include "platform/PathCodec.h"

#include <QCoreApplication>
#include <QWidget>

#include <vector>

namespace lumsift {

namespace {

// Gives the sink the folders of the results as it first meets them, ancestors before descendants.
class FolderIds {
public:
    explicit FolderIds(ResultSink &sink)
        : sink_(sink) {}

    std::uint32_t of(const FolderNode *folder) {
        if (folder->sinkId != noFolder)
            return folder->sinkId;
        unknown_.clear();
        for (const FolderNode *f = folder; f && f->sinkId == noFolder; f = f->parent)
            unknown_.push_back(f);
        for (auto it = unknown_.rbegin(); it != unknown_.rend(); ++it) {
            const FolderNode *f = *it;
            f->sinkId = sink_.addFolder(f->parent ? f->parent->sinkId : noFolder, f->name());
        }
        return folder->sinkId;
    }

private:
    ResultSink &sink_;
    std::vector<const FolderNode *> unknown_;
};

class Streamer {
public:
    Streamer(ResultSink &sink, QWidget &form)
        : sink_(sink)
        , form_(form)
        , ids_(sink) {}

    void deliver(FolderWalk &walk) {
        batch_.clear();
        walk.takeResults(batch_);
        if (batch_.empty())
            return;
        names_.clear();
        names_.reserve(batch_.hits.size());
        for (const Hit &hit : batch_.hits)
            names_.push_back(FoundName{ids_.of(hit.folder), hit.offset, hit.length});
        sink_.appendFiles(names_, batch_.names);
    }

    void showFolder(const FolderNode *folder) {
        if (!folder || folder == shown_)
            return;
        shown_ = folder;
        form_.setWindowTitle(platform::decodePath(folderPath(folder)));
    }

private:
    ResultSink &sink_;
    QWidget &form_;
    FolderIds ids_;
    ResultBatch batch_;
    std::vector<FoundName> names_;
    const FolderNode *shown_ = nullptr;
};

} // namespace

void streamSearch(ResultSink &sink, std::string root, const NameMatcher &matcher, QWidget &form,
                  const StreamOptions &options) {
    FolderWalk walk(std::move(root), matcher, options.walk);
    Streamer streamer(sink, form);
    streamer.showFolder(walk.root());
    walk.start();
    bool done = false;
    while (!done) {
        done = walk.waitUntil(std::chrono::steady_clock::now() + options.tick);
        streamer.deliver(walk);
        streamer.showFolder(walk.folderInProgress());
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

std::string searchRoot(const QString &folder) {
    QByteArray bytes = platform::encodePath(folder);
    if (!bytes.startsWith('/'))
        return {};
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    return bytes.toStdString();
}

} // namespace lumsift
