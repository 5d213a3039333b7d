// SPDX-License-Identifier: GPL-3.0-or-later
// lumsifter-dbhost: reads Access databases for the program, one request at a time, over its standard
// input and output. Database files are read only here, so that whatever a damaged file does to the
// reader takes down this process only; the program limits its time and memory.
#include "base/Descriptor.h"
#include "dbhost/Service.h"
#include "helper_protocol/Protocol.h"

#include <unistd.h>

namespace {

constexpr quint32 maximumRequest = 1024 * 1024;

bool readExactly(int fd, char *into, size_t count) {
    return base::readExactly(fd, into, count) == base::Transfer::Done;
}

bool writeAll(int fd, const QByteArray &bytes) {
    return base::writeAll(fd, bytes.constData(), size_t(bytes.size())) == base::Transfer::Done;
}

} // namespace

int main() {
    const int in = STDIN_FILENO;
    const int out = STDOUT_FILENO;
    dbhost::Service service;
    for (;;) {
        char header[4];
        if (!readExactly(in, header, 4))
            return 0;
        const quint32 length = helper_protocol::frameLength(header);
        if (length > maximumRequest)
            return 1;
        QByteArray payload(qsizetype(length), Qt::Uninitialized);
        if (!readExactly(in, payload.data(), length))
            return 0;
        const std::optional<QCborMap> request = helper_protocol::decodePayload(payload);
        const QCborMap reply = request ? service.handle(*request)
                                       : helper_protocol::errorReply(helper_protocol::Error::badRequest,
                                                                     QStringLiteral("Not a request."));
        if (!writeAll(out, helper_protocol::encodeFrame(reply)))
            return 0;
    }
}
