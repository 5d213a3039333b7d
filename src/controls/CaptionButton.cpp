// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CaptionButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace controls {

namespace {
constexpr int captionFlags = Qt::AlignCenter | Qt::TextWordWrap;
constexpr double smallestShare = 0.6; // of the font's own size, so that a caption stays readable
} // namespace

QRect CaptionButton::captionArea() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

bool CaptionButton::captionShowsWhole() const {
    const QRect area = captionArea();
    const QRect needed = fontMetrics().boundingRect(area, captionFlags, text());
    return needed.width() <= area.width() && needed.height() <= area.height();
}

void CaptionButton::shrinkFontToShowCaption() {
    const double own = font().pointSizeF();
    QFont smaller = font();
    while (!captionShowsWhole() && smaller.pointSizeF() - 0.5 >= own * smallestShare) {
        smaller.setPointSizeF(smaller.pointSizeF() - 0.5);
        setFont(smaller);
    }
}

void CaptionButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(captionArea(), captionFlags, caption);
}

} // namespace controls
