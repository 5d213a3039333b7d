// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace platform {
class MessageBox;
}
namespace search_component {
class ResultListView;
}

namespace Ui {
class PictureViewer;
}

namespace result_actions {

// Picture1, the picture viewer panel: shows the selected result in a portrait or a landscape frame
// and steps through the result list as a timed slideshow that stops at a typed file name. The
// pictures themselves are loaded by the selection step.
class PictureViewer : public QWidget {
    Q_OBJECT
public:
    // What the viewer uses of the main window.
    struct MainWindowView {
        search_component::ResultListView &resultList;
        std::function<QString()> resultCount; // kept current by the status window
        std::function<QString()> timeOfDay;
    };

    PictureViewer(QWidget *parent, MainWindowView mainWindow, std::shared_ptr<platform::MessageBox> messages);
    ~PictureViewer() override;

    QTimer &Timer1() { return *timer1_; }
    // Image1 and Image2, the portrait and the landscape frame.
    void setImage1(const QImage &picture);
    void setImage2(const QImage &picture);

    // "Picture Viewer" on the main window.
    void open();
    // Announces that the slideshow found the typed file name and stops it.
    void ff();

public slots:                              // public, so that tests can drive the reactions
    void on_Command3_clicked();            // "Close"
    void on_Option1_clicked();             // "Portrait"
    void on_Option2_clicked();             // "Lanscape"
    void on_Option1_toggled(bool checked); // "Portrait" checked by the keyboard or an assistive tool
    void on_Option2_toggled(bool checked); // "Lanscape" likewise
    void on_Check1_toggled(bool checked);  // "AutoPlay"
    void on_Timer1_timeout();              // slideshow tick

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPortrait();
    void showLandscape();
    // Seconds per slide as picked in Combo1, in whole milliseconds; fails for a text that is no number.
    int intervalMs() const;

    MainWindowView mainWindow_;
    std::shared_ptr<platform::MessageBox> messages_;
    QTimer *timer1_;
    std::unique_ptr<Ui::PictureViewer> ui;
};

} // namespace result_actions
