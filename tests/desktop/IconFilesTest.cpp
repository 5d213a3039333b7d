// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's icon files are the window's drawing: every PNG size, and the SVG as another renderer
// draws it.
#include "IconFiles.h"
#include "TempFolder.h"
#include "main_window/DesignLook.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QString name = QStringLiteral("example.lumsifter.Lumsifter");

// The mean difference of two pictures of one size, per channel and pixel, from 0 to 255.
double meanDifference(const QImage &a, const QImage &b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return sum / (4.0 * x.width() * x.height());
}

} // namespace

TEST(IconFiles, EachPngIsTheWindowsDrawingAtItsSize) {
    TempFolder folder;
    ASSERT_EQ(icon_files::write(folder.path(), name), QString());
    for (const int size : icon_files::pngSizes()) {
        const QString path =
            folder.path() + QStringLiteral("/%1x%1/apps/").arg(size) + name + QStringLiteral(".png");
        const QImage png(path);
        ASSERT_FALSE(png.isNull()) << path.toStdString();
        EXPECT_EQ(png.size(), QSize(size, size));
        EXPECT_TRUE(png.hasAlphaChannel()) << "the ground is transparent";
        EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), main_window::design::icon(size)) << size;
    }
    // The window offers the same drawing, at sizes of its own and unscaled.
    const QIcon window = main_window::design::windowIcon();
    for (const int size : {16, 32, 48, 256})
        EXPECT_EQ(window.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32),
                  main_window::design::icon(size))
            << size;
}

TEST(IconFiles, TheSvgDrawsWhatTheWindowDraws) {
    TempFolder folder;
    ASSERT_EQ(icon_files::write(folder.path(), name), QString());
    QSvgRenderer renderer(folder.path() + QStringLiteral("/scalable/apps/") + name + QStringLiteral(".svg"));
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, main_window::design::iconGrid, main_window::design::iconGrid));
    for (const int size : {16, 64, 256}) {
        QImage drawn(size, size, QImage::Format_ARGB32);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        renderer.render(&painter);
        painter.end();
        // Antialiasing differs at the edges only; a lost or moved shape would differ by far more.
        EXPECT_LT(meanDifference(drawn, main_window::design::icon(size)), 1.0) << size;
        // The lens, half transparent over the folder, blends alike.
        const QPoint lens(size * 18 / 32, size * 16 / 32);
        EXPECT_LE(meanDifference(drawn.copy(QRect(lens, QSize(1, 1))),
                                 main_window::design::icon(size).copy(QRect(lens, QSize(1, 1)))),
                  1.0)
            << size;
    }
}

TEST(IconFiles, AFolderThatCannotBeWrittenIsReported) {
    TempFolder folder;
    QFile blocker(folder.path() + QStringLiteral("/scalable"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the theme's folder should be
    blocker.close();
    EXPECT_TRUE(icon_files::write(folder.path(), name).startsWith(QStringLiteral("cannot write")));
}
