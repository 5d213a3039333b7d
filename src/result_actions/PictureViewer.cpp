// SPDX-License-Identifier: GPL-3.0-or-later
#include "result_actions/PictureViewer.h"

#include "base/Step.h"
#include "controls/Accessibility.h"
#include "platform/MessageBox.h"
#include "search_component/ResultListView.h"
#include "ui_PictureViewer.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <cmath>

namespace result_actions {

using base::check;
using base::step;
using controls::nameAfterLabel;
using search_component::ResultListView;

PictureViewer::PictureViewer(QWidget *parent, MainWindowView mainWindow,
                             std::shared_ptr<platform::MessageBox> messages)
    : QWidget(parent)
    , mainWindow_(std::move(mainWindow))
    , messages_(std::move(messages))
    , timer1_(new QTimer(this))
    , ui(std::make_unique<Ui::PictureViewer>()) {
    // The slideshow timer; named before setupUi so that its slot is connected by name.
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(3000);
    ui->setupUi(this);
    ui->Combo1->setInsertPolicy(QComboBox::NoInsert);
    ui->Combo1->setCurrentText(QStringLiteral("3"));
    // Keys reach the box itself, which hands them to its line edit; watch both.
    ui->Combo1->installEventFilter(this);
    ui->Combo1->lineEdit()->installEventFilter(this);
    nameAfterLabel(*ui->Combo1, *ui->Label7);
    nameAfterLabel(*ui->Text7, *ui->Label22);
    // The frames are named after the options that show them.
    ui->Image1->setAccessibleName(ui->Option1->text());
    ui->Image2->setAccessibleName(ui->Option2->text());
}

PictureViewer::~PictureViewer() = default;

void PictureViewer::setImage1(const QImage &picture) {
    ui->Image1->setPicture(picture);
}

void PictureViewer::setImage2(const QImage &picture) {
    ui->Image2->setPicture(picture);
}

bool PictureViewer::eventFilter(QObject *watched, QEvent *event) {
    // Combo1 key press: every typed character is discarded, so its value is picked from the list.
    if ((watched == ui->Combo1 || watched == ui->Combo1->lineEdit()) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PictureViewer::open() {
    setVisible(true);
}

void PictureViewer::on_Command3_clicked() {
    setVisible(false);
    ui->Check1->setChecked(false); // a change runs the AutoPlay reaction
}

void PictureViewer::showPortrait() {
    ui->Image2->setVisible(false);
    ui->Image1->setVisible(true);
}

void PictureViewer::showLandscape() {
    ui->Image1->setVisible(false);
    ui->Image2->setVisible(true);
}

void PictureViewer::on_Option1_clicked() {
    showPortrait();
}

void PictureViewer::on_Option2_clicked() {
    showLandscape();
}

// A click on an unchecked option runs both reactions; they show the same frame.
void PictureViewer::on_Option1_toggled(bool checked) {
    if (checked)
        showPortrait();
}

void PictureViewer::on_Option2_toggled(bool checked) {
    if (checked)
        showLandscape();
}

void PictureViewer::on_Check1_toggled(bool checked) {
    // While the slideshow runs the user cannot change the selection.
    if (checked)
        timer1_->start();
    else
        timer1_->stop();
    mainWindow_.resultList.setEnabled(!checked);
}

int PictureViewer::intervalMs() const {
    bool ok = false;
    const double seconds = ui->Combo1->currentText().trimmed().toDouble(&ok);
    const double ms = std::round(seconds * 1000);
    check(ok && ms >= 1 && ms <= std::numeric_limits<int>::max());
    return int(ms);
}

void PictureViewer::ff() {
    messages_->show(QStringLiteral("File has been found!"), platform::Style::Information,
                    mainWindow_.timeOfDay());
    timer1_->stop();
}

void PictureViewer::on_Timer1_timeout() {
    ResultListView &list = mainWindow_.resultList;
    step([&] { timer1_->setInterval(intervalMs()); });
    step([&] { check(list.setListIndex(list.listIndex() + 1)); });
    step([&] {
        ui->Label19->setText(QString::number(list.listIndex()) + QStringLiteral(" of ") +
                             mainWindow_.resultCount());
    });
    step([&] {
        const QString typed = ui->Text7->text();
        if (!list.text().endsWith(typed, Qt::CaseSensitive))
            return;
        timer1_->stop();
        list.setEnabled(true);
        // A name the user typed was found: say so. An empty name stops at every entry silently.
        if (!typed.isEmpty())
            ff();
    });
}

} // namespace result_actions
