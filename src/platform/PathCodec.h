// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// File names on Linux are bytes and need not be UTF-8. These turn them into text and back without
// loss: valid UTF-8 decodes as usual, every byte that is not part of a valid sequence becomes a lone
// surrogate U+DC80..U+DCFF, and encoding turns those back into the very bytes.
QString decodePath(QByteArrayView bytes);
QByteArray encodePath(QStringView text);

// The decoded text of a name's first bytes, at most `maxUnits` UTF-16 units of it, and whether that is
// all of it. Only the bytes needed are decoded, however long the name.
struct TextStart {
    QString text;
    bool whole = true;
};
TextStart decodePathStart(QByteArrayView bytes, qsizetype maxUnits);

// Whether two names decode to the same text in any letter case, as comparing their decoded texts after
// QString::toLower would say, but a character at a time, without decoding either name whole.
bool sameTextIgnoringCase(QByteArrayView a, QByteArrayView b);

} // namespace platform
