// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/DesignLook.h"

#include "controls/CaptionButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

namespace main_window::design {

using controls::CaptionButton;

namespace {

QString family = QStringLiteral("Sans Serif");

QColor colorOf(const QString &text) {
    if (text == u"buttonface")
        return QApplication::palette().color(QPalette::Button);
    return QColor(text);
}

void applyFont(QWidget &widget, const QString &description) {
    const QStringList words = description.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    widget.setFont(font(words[0].toDouble(), words.contains(u"bold")));
}

void applyColors(QWidget &widget, const QString &fore, const QString &back) {
    QPalette palette = widget.palette();
    if (!fore.isEmpty()) {
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, colorOf(fore));
    }
    if (!back.isEmpty()) {
        const QColor color = colorOf(back);
        if (qobject_cast<QAbstractButton *>(&widget)) {
            palette.setColor(QPalette::Button, color);
        } else if (qobject_cast<QLineEdit *>(&widget) || qobject_cast<QComboBox *>(&widget)) {
            palette.setColor(QPalette::Base, color);
        } else {
            palette.setColor(QPalette::Window, color);
            widget.setAutoFillBackground(true);
        }
    }
    widget.setPalette(palette);
}

bool showsWhole(const QLabel &label, int width) {
    const QRect room = label.contentsRect().adjusted(0, 0, width - label.width(), 0);
    const int flags = int(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = label.fontMetrics().boundingRect(room, flags, label.text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

// A caption that the form's font draws a little wider than the form's own font did would lose its
// last letters: its label grows to show it whole, about the side its text is aligned to.
void keepCaptionWhole(QLabel &label) {
    if (label.text().isEmpty() || label.isHidden() || showsWhole(label, label.width()) ||
        label.fontMetrics().height() > label.contentsRect().height())
        return;
    // Wide enough for the caption on one line, whatever the font's overhangs.
    const int widest = 2 * (label.fontMetrics().horizontalAdvance(label.text()) + label.width());
    int width = label.width();
    while (width < widest && !showsWhole(label, width))
        ++width;
    QRect place = label.geometry();
    const int grown = width - place.width();
    if (label.alignment() & Qt::AlignHCenter)
        place.translate(-grown / 2, 0);
    else if (label.alignment() & Qt::AlignRight)
        place.translate(-grown, 0);
    place.setWidth(width);
    label.setGeometry(place);
}

void applyOne(QWidget &widget) {
    const QString fontDescription = widget.property("designFont").toString();
    if (!fontDescription.isEmpty())
        applyFont(widget, fontDescription);
    const QString fore = widget.property("foreColor").toString();
    const QString back = widget.property("backColor").toString();
    if (!fore.isEmpty() || !back.isEmpty())
        applyColors(widget, fore, back);
    if (auto *label = qobject_cast<QLabel *>(&widget))
        keepCaptionWhole(*label);
    if (auto *button = qobject_cast<CaptionButton *>(&widget))
        button->shrinkFontToShowCaption();
}

} // namespace

void registerFonts() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString folder = QStringLiteral("/usr/share/wine/fonts/");
    int id = -1;
    for (const char *file : {"tahoma.ttf", "tahomabd.ttf"}) {
        if (QFile::exists(folder + QLatin1String(file))) {
            const int added = QFontDatabase::addApplicationFont(folder + QLatin1String(file));
            if (id < 0)
                id = added;
        }
    }
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    family = families.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()
                                : families.first();
}

QFont font(double points, bool bold) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void applyLook(QWidget &root) {
    applyOne(root);
    for (QWidget *child : root.findChildren<QWidget *>())
        applyOne(*child);
}

QImage banner() {
    QImage image(908, 29, QImage::Format_RGB888);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 908, 0);
    sky.setColorAt(0.0, QColor(16, 32, 72));
    sky.setColorAt(0.6, QColor(40, 72, 128));
    sky.setColorAt(1.0, QColor(96, 128, 176));
    painter.fillRect(image.rect(), sky);
    painter.setPen(QColor(255, 255, 255, 40));
    for (int x = -29; x < 908; x += 12)
        painter.drawLine(x, 29, x + 29, 0);
    painter.fillRect(0, 27, 908, 2, QColor(8, 16, 40));
    return image;
}

void paintIcon(QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(240, 200, 80));
    painter.setPen(QPen(QColor(120, 80, 20), 1.5));
    painter.drawRoundedRect(QRectF(2, 6, 22, 18), 2, 2);
    painter.setBrush(QColor(200, 230, 255, 200));
    painter.setPen(QPen(QColor(16, 32, 72), 3));
    painter.drawEllipse(QPointF(18, 16), 7, 7);
    painter.drawLine(QPointF(23, 21), QPointF(30, 29));
}

QImage icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / double(iconGrid), size / double(iconGrid));
    paintIcon(painter);
    return image;
}

QIcon windowIcon() {
    QIcon window;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        window.addPixmap(QPixmap::fromImage(icon(size)));
    return window;
}

} // namespace main_window::design
