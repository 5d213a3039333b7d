// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace platform {

// The picture in the file (raw path bytes), in any format the image plugins read (BMP, GIF, JPEG,
// PNG, ICO, CUR, TIFF, WebP, ...); nothing when the file is not a readable picture.
std::optional<QImage> loadPicture(const QByteArray &path);

} // namespace platform
