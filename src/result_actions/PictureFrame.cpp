// SPDX-License-Identifier: GPL-3.0-or-later
#include "result_actions/PictureFrame.h"

#include <QPainter>

namespace result_actions {

PictureFrame::PictureFrame(QWidget *parent)
    : QWidget(parent) {}

void PictureFrame::setPicture(const QImage &picture) {
    picture_ = picture;
    update();
}

void PictureFrame::paintEvent(QPaintEvent *) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), picture_);
}

} // namespace result_actions
