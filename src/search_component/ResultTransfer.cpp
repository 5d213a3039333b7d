// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/ResultTransfer.h"

#include "platform/FileUri.h"

#include <QMimeData>

namespace search_component {

QMimeData *pathAsText(const QByteArray &path) {
    auto *data = new QMimeData;
    // Set as bytes, not as a QString, which would turn undecodable bytes into replacement characters.
    data->setData(QStringLiteral("text/plain"), path);
    return data;
}

QMimeData *fileForTransfer(const QByteArray &path) {
    QMimeData *data = pathAsText(path);
    const QByteArray uri = platform::fileUri(path);
    data->setData(QStringLiteral("text/uri-list"), uri + "\r\n");
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + uri);
    return data;
}

} // namespace search_component
