// SPDX-License-Identifier: GPL-3.0-or-later
#include "helper_protocol/Protocol.h"

#include <QCborValue>

namespace helper_protocol {

QByteArray encodeFrame(const QCborMap &message) {
    const QByteArray payload = message.toCborValue().toCbor();
    const quint32 n = quint32(payload.size());
    QByteArray frame;
    frame.reserve(payload.size() + 4);
    for (int k = 0; k < 4; ++k)
        frame.append(char((n >> (8 * k)) & 0xff));
    frame.append(payload);
    return frame;
}

quint32 frameLength(const char header[4]) {
    quint32 n = 0;
    for (int k = 0; k < 4; ++k)
        n |= quint32(quint8(header[k])) << (8 * k);
    return n;
}

std::optional<QCborMap> decodePayload(const QByteArray &payload) {
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(payload, &error);
    if (error.error != QCborError::NoError || !value.isMap())
        return std::nullopt;
    return value.toMap();
}

QCborMap request(const QString &op) {
    QCborMap m;
    m[Key::version] = protocolVersion;
    m[Key::op] = op;
    return m;
}

QCborMap okReply() {
    QCborMap m;
    m[Key::version] = protocolVersion;
    m[Key::ok] = true;
    return m;
}

QCborMap errorReply(const QString &code, const QString &message) {
    QCborMap m;
    m[Key::version] = protocolVersion;
    m[Key::ok] = false;
    m[Key::error] = code;
    m[Key::message] = message;
    return m;
}

} // namespace helper_protocol
