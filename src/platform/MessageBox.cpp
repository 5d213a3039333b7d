// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

QMessageBox::Icon iconFor(int style) {
    // The stop flag wins when both the information and the stop flags are set (style 84).
    if (style & Style::Critical)
        return QMessageBox::Critical;
    if (style & Style::Question)
        return QMessageBox::Question;
    if (style & Style::Information)
        return QMessageBox::Information;
    return QMessageBox::NoIcon;
}

} // namespace

int QtMessageBox::show(const QString &prompt, int style, const QString &title) {
    QMessageBox box(iconFor(style), title.isEmpty() ? applicationTitle : title, prompt, QMessageBox::NoButton,
                    QApplication::activeWindow());
    const bool yesNo = (style & 7) == Style::YesNo;
    if (yesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (yesNo)
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

} // namespace platform
