#include "result_actions/PictureViewer.h"

#include <QKeyEvent>
#include <QLineEdit>

PictureViewer::PictureViewer(QWidget *parent)
    : QWidget(parent)
    , timer1_(new QTimer(this))
{
    // The slideshow timer; named before setupUi so that its slot is connected by name.
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(3000);
    ui.setupUi(this);
    ui.Combo1->setInsertPolicy(QComboBox::NoInsert);
    ui.Combo1->setCurrentText(QStringLiteral("3"));
    ui.Combo1->lineEdit()->installEventFilter(this);
}

bool PictureViewer::eventFilter(QObject *watched, QEvent *event)
{
    // Combo1 key press: every typed character is discarded, so its value is picked from the list.
    if (watched == ui.Combo1->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
