// SPDX-License-Identifier: GPL-3.0-or-later
#include "IconFiles.h"

#include "main_window/DesignLook.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSvgGenerator>

namespace icon_files {

const QList<int> &pngSizes() {
    static const QList<int> sizes{16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QByteArray svg() {
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(main_window::design::iconGrid, main_window::design::iconGrid));
    generator.setViewBox(QRect(0, 0, main_window::design::iconGrid, main_window::design::iconGrid));
    generator.setTitle(QStringLiteral("Lumsifter"));
    generator.setDescription(QStringLiteral("A folder under a magnifying glass"));
    QPainter painter(&generator);
    main_window::design::paintIcon(painter);
    painter.end();
    return buffer.data();
}

QString write(const QString &folder, const QString &name) {
    const auto place = [&](const QString &subfolder, const QString &suffix) -> QString {
        const QString path = folder + u'/' + subfolder + QStringLiteral("/apps");
        return QDir().mkpath(path) ? path + u'/' + name + suffix : QString();
    };
    const QString svgPath = place(QStringLiteral("scalable"), QStringLiteral(".svg"));
    QFile svgFile(svgPath);
    if (svgPath.isEmpty() || !svgFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svgFile.write(svg()) < 0 || !svgFile.flush())
        return QStringLiteral("cannot write the scalable icon under ") + folder;
    for (const int size : pngSizes()) {
        const QString pngPath = place(QStringLiteral("%1x%1").arg(size), QStringLiteral(".png"));
        if (pngPath.isEmpty() || !main_window::design::icon(size).save(pngPath, "PNG"))
            return QStringLiteral("cannot write the %1 pixel icon under ").arg(size) + folder;
    }
    return {};
}

} // namespace icon_files
