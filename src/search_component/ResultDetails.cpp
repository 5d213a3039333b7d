// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/ResultDetails.h"

#include "platform/Files.h"
#include "platform/PathCodec.h"

#include <QDateTime>
#include <QMimeDatabase>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace search_component {

namespace {

// Enough of a file's beginning for the content rules of the type database.
constexpr qsizetype sniffBytes = 16 * 1024;

QString bytesText(qint64 bytes, const QLocale &locale) {
    return locale.toString(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

QByteArray firstBytes(const QByteArray &path) {
    const platform::Result<platform::Descriptor> file = platform::openRegularFile(path, O_RDONLY);
    if (!file)
        return {};
    QByteArray data(sniffBytes, Qt::Uninitialized);
    const ssize_t got = ::read(file->get(), data.data(), size_t(data.size()));
    data.truncate(got > 0 ? got : 0);
    return data;
}

QMimeType typeOf(const QByteArray &path, const struct stat &info) {
    const QMimeDatabase types;
    const char *special = S_ISDIR(info.st_mode)    ? "inode/directory"
                          : S_ISLNK(info.st_mode)  ? "inode/symlink"
                          : S_ISFIFO(info.st_mode) ? "inode/fifo"
                          : S_ISSOCK(info.st_mode) ? "inode/socket"
                          : S_ISCHR(info.st_mode)  ? "inode/chardevice"
                          : S_ISBLK(info.st_mode)  ? "inode/blockdevice"
                                                   : nullptr;
    if (special)
        return types.mimeTypeForName(QLatin1String(special));
    const QString name = platform::decodePath(path.mid(path.lastIndexOf('/') + 1));
    if (info.st_size == 0) // no content to judge by
        return types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return types.mimeTypeForFileNameAndData(name, firstBytes(path));
}

QString typeText(const QMimeType &type) {
    const QString comment = type.comment();
    return comment.isEmpty() || comment == type.name() ? type.name()
                                                       : comment + QStringLiteral(" (") + type.name() + u')';
}

QString linkTarget(const QByteArray &path) {
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
    return length < 0 ? QString() : platform::decodePath(QByteArrayView(target).first(length));
}

} // namespace

QString humanSize(qint64 bytes, const QLocale &locale) {
    static const char *const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024)
        return bytesText(bytes, locale);
    double value = double(bytes);
    int unit = -1;
    // One decimal below ten, whole numbers above; a value that rounds up to 1024 moves to the next unit.
    auto rounded = [](double v) { return v < 10 ? std::round(v * 10) / 10 : std::round(v); };
    do {
        value /= 1024;
        ++unit;
    } while (rounded(value) >= 1024 && unit + 1 < int(std::size(units)));
    const double shown = rounded(value);
    return locale.toString(shown, 'f', shown < 10 ? 1 : 0) + u' ' + QLatin1String(units[unit]) +
           QStringLiteral(" (") + bytesText(bytes, locale) + u')';
}

QString detailsText(const QByteArray &path, const QLocale &locale) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("This file is no longer there.");
        return QStringLiteral("Its details cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    QStringList lines;
    if (!S_ISDIR(info.st_mode))
        lines << QStringLiteral("Size: ") + humanSize(info.st_size, locale);
    lines << QStringLiteral("Modified: ") +
                 locale.toString(QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec), QLocale::ShortFormat);
    lines << QStringLiteral("Type: ") + typeText(typeOf(path, info));
    if (S_ISLNK(info.st_mode))
        lines << QStringLiteral("Link to: ") + linkTarget(path);
    return lines.join(u'\n');
}

} // namespace search_component
