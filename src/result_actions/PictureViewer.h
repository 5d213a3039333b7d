#pragma once

#include "ui_PictureViewer.h"

#include <QTimer>
#include <QWidget>

// Picture1, the picture viewer panel of the main window.
class PictureViewer : public QWidget {
    Q_OBJECT
public:
    explicit PictureViewer(QWidget *parent = nullptr);

    Ui::PictureViewer &controls() { return ui; }
    QTimer &Timer1() { return *timer1_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTimer *timer1_;
    Ui::PictureViewer ui;
};
