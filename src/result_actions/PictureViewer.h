#pragma once

#include "ui_PictureViewer.h"

#include <QTimer>
#include <QWidget>

class Form1;

// Picture1, the picture viewer panel: shows the selected result in a portrait or a landscape frame
// and steps through the result list as a timed slideshow that stops at a typed file name. The
// pictures themselves are loaded by the selection step.
class PictureViewer : public QWidget {
    Q_OBJECT
public:
    explicit PictureViewer(Form1 &form);

    Ui::PictureViewer &controls() { return ui; }
    QTimer &Timer1() { return *timer1_; }

    // "Picture Viewer" on the main window.
    void open();
    // Announces that the slideshow found the typed file name and stops it.
    void ff();

public slots: // public, so that tests can drive the reactions
    void on_Command3_clicked();
    void on_Option1_clicked();
    void on_Option2_clicked();
    void on_Check1_toggled(bool checked);
    void on_Timer1_timeout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Seconds per slide as picked in Combo1, in whole milliseconds; fails for a text that is no number.
    int intervalMs() const;

    Form1 &form_;
    QTimer *timer1_;
    Ui::PictureViewer ui;
};
