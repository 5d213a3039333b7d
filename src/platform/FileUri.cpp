// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileUri.h"

namespace platform {

namespace {

bool keptAsIs(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

} // namespace

QByteArray fileUri(QByteArrayView path) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    uri.reserve(uri.size() + path.size() * 3);
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if (keptAsIs(c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0x0F];
        }
    }
    return uri;
}

} // namespace platform
