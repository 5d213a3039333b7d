// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Pictures.h"

#include "platform/Files.h"

#include <QFile>
#include <QImageReader>

#include <fcntl.h>

namespace platform {

std::optional<QImage> loadPicture(const QByteArray &path) {
    // Opened by its raw bytes, so that names that are not valid UTF-8 load too; a named pipe or a
    // device is no picture and must not stall the window.
    Result<Descriptor> fd = openRegularFile(path, O_RDONLY);
    if (!fd)
        return std::nullopt;
    QFile file;
    if (!file.open(fd->get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return std::nullopt;
    fd->release(); // the file closes it now
    // The format comes from the content, not the name: a file named .jpg that is a PNG loads.
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace platform
