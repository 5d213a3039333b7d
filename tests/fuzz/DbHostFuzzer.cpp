// SPDX-License-Identifier: GPL-3.0-or-later
// The database helper's fuzzer. Each input is a database file, read the way the program reads one
// through the helper, as one sequence of requests: open (header, password check, catalog), the
// table list, then a query of every object in it with fetches to its end, a rewind and a fetch
// again. The helper's request handling runs in this process; the file lives in memory and is named
// by its /proc path, so nothing touches the disk.
#include "dbhost/Service.h"
#include "helper_protocol/Messages.h"
#include "helper_protocol/Protocol.h"

#include <QCborArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace dbhost;

// One file in memory for every input.
class MemoryFile {
public:
    MemoryFile()
        : fd_(::memfd_create("lumsifter-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
    }
    QByteArray path() const { return "/proc/self/fd/" + QByteArray::number(fd_); }
    void hold(const uint8_t *data, size_t size) {
        if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, data, size, 0) != ssize_t(size)) {
            std::perror("memory file");
            std::abort();
        }
    }

private:
    int fd_;
};

// A reply the program would refuse as garbage is a fault of the helper, as a crash is.
QCborMap ask(Service &service, const QCborMap &request) {
    const QCborMap reply = service.handle(request);
    if (reply.value(Key::version).toInteger(-1) != protocolVersion || !reply.value(Key::ok).isBool()) {
        std::fprintf(stderr, "reply without version or ok to %s\n",
                     qPrintable(request.value(Key::op).toString()));
        std::abort();
    }
    const qsizetype frame = encodeFrame(reply).size() - 4;
    if (frame > qsizetype(maximumFrame)) {
        std::fprintf(stderr, "a reply of %lld bytes to %s, more than a frame may hold\n", (long long)frame,
                     qPrintable(request.value(Key::op).toString()));
        std::abort();
    }
    return reply;
}

bool ok(const QCborMap &reply) {
    return reply.value(Key::ok).toBool();
}

// Fetches to the end of the result, as "DB Info" does.
void readAll(Service &service, qint64 cursor) {
    for (;;) {
        const QCborMap reply = ask(service, FetchRequest{cursor, 4096}.toCbor());
        if (!ok(reply) || FetchReply::fromCbor(reply).end)
            return;
    }
}

void readTable(Service &service, const QString &name) {
    const QCborMap reply = ask(service, QueryRequest{name}.toCbor());
    if (!ok(reply))
        return;
    const qint64 cursor = QueryReply::fromCbor(reply).cursor;
    readAll(service, cursor);
    ask(service, CursorRequest{Op::rewind, cursor}.toCbor());
    ask(service, FetchRequest{cursor, 1}.toCbor());
    ask(service, CursorRequest{Op::close, cursor}.toCbor());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static MemoryFile file;
    file.hold(data, size);
    Service service;
    if (!ok(ask(service, OpenRequest{file.path()}.toCbor())))
        return 0;
    const QCborMap catalog = ask(service, request(Op::catalog));
    if (!ok(catalog))
        return 0;
    for (const CatalogObject &object : CatalogReply::fromCbor(catalog).objects)
        readTable(service, object.name);
    return 0;
}
