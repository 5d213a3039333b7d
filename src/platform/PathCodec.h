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

} // namespace platform
