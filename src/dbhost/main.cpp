// lumsifter-dbhost: reads Access databases for the program, one request at a time, over its standard
// input and output. It is the only code that runs libmdb, so that a damaged file that hangs or
// crashes the library takes down this process only; the program limits its time and memory.
#include "dbhost/LogCapture.h"
#include "dbhost/Protocol.h"
#include "dbhost/Service.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr quint32 maximumRequest = 1024 * 1024;

bool readExactly(int fd, char *into, size_t count) {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, into + got, count - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

bool writeAll(int fd, const QByteArray &bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + sent, size_t(bytes.size() - sent));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

} // namespace

int main() {
    const int in = STDIN_FILENO;
    const int out = ::dup(STDOUT_FILENO); // the protocol's own; stdout joins the captured log
    dbhost::LogCapture log;
    dbhost::Service service;
    for (;;) {
        char header[4];
        if (!readExactly(in, header, 4))
            return 0;
        const quint32 length = dbhost::frameLength(header);
        if (length > maximumRequest)
            return 1;
        QByteArray payload(qsizetype(length), Qt::Uninitialized);
        if (!readExactly(in, payload.data(), length))
            return 0;
        const std::optional<QCborMap> request = dbhost::decodePayload(payload);
        log.clear();
        QCborMap reply =
            request ? service.handle(*request)
                    : dbhost::errorReply(dbhost::Error::badRequest, QStringLiteral("Not a request."));
        if (!reply.value(dbhost::Key::ok).toBool())
            reply[dbhost::Key::log] = log.text();
        if (!writeAll(out, dbhost::encodeFrame(reply)))
            return 0;
    }
}
