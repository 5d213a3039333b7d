// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"
#include "system_info/SystemInformation.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace search_component {
class ResultListView;
}

namespace status_window {

// The status window: never shown, it exists for its five timers and for a few controls that serve
// as storage. Its ticks keep the main window's counters, mirrors, title colour and clock current,
// and compu reports a finished search. It lives as long as the program; a refresh of the main
// window does not touch it.
class Form2 : public QObject {
    Q_OBJECT
public:
    // What the status window reads and writes of the main window.
    struct MainWindowView {
        QWidget *window; // its caption
        search_component::ResultListView *resultList;
        QComboBox *driveList;
        QComboBox *pattern;
        QLineEdit *location;
        QLabel *resultCount;
        QLabel *captionMirror;
        QLabel *driveCount;
        QLabel *folderCount;
        QLabel *duration;
        QLabel *selectedEntry; // the hidden mirror of the result list's selected entry
        QLabel *title;
        system_info::SystemInformation::BottomBar bottomBar;
    };
    // The main window's view; null while the main window reloads.
    using MainWindowProvider = std::function<const MainWindowView *()>;

    Form2(MainWindowProvider mainWindow, platform::Platform platform);
    ~Form2() override;

    // Controls used as storage.
    struct TextBox {
        QString Text;
    };
    struct Control {
        QString Caption;
        QString Tag;
    };
    TextBox Text1;                                // start time of the current search, as time-of-day text
    TextBox Text2;                                // end time (the running time while a search runs)
    Control Label2{QStringLiteral("Label2"), {}}; // the duration as "hh:mm:ss"
    Control Command1;                             // caption: the memory line; Tag: the user line
    QString Tag;                                  // the title colour step
    const QString Caption = QStringLiteral("Form2");

    // Label1: its caption mirrors the main window's Label6; every change of it counts one folder
    // in its Tag.
    const Control &Label1() const { return label1_; }
    void setLabel1Caption(const QString &caption);
    void setLabel1Tag(const QString &tag) { label1_.Tag = tag; }

    // Times as seconds since midnight, parsed from Text1 and Text2.
    int dtStart = 0;
    int dtEnd = 0;
    int dtDuration = 0;

    QTimer *const Timer1; // mirror tick, 1 ms
    QTimer *const Timer2; // title colour, 110 ms
    QTimer *const Timer3; // system information, 110 ms
    QTimer *const Timer4; // duration, 1000 ms
    QTimer *const Timer5; // end time while a search runs, 100 ms

    // Settles the duration of the finished search, stops the end-time tick and shows the overview.
    void compu();

    // Stops every timer: the program is ending.
    void stopTimers();

    // The overview of a finished search, ten lines joined by CR LF.
    static QString overviewText(const QString &start, const QString &end, const QString &duration,
                                const QString &keyword, int results, const QString &lastDrive);

public slots: // public, so that tests can drive the ticks
    void on_Timer1_timeout();
    void on_Timer2_timeout();
    void on_Timer3_timeout();
    void on_Timer4_timeout();
    void on_Timer5_timeout();

private:
    QTimer *makeTimer(const char *name, int interval, bool enabled);
    void settleDuration();

    MainWindowProvider mainWindow_;
    platform::Platform platform_;
    Control label1_;
    std::unique_ptr<system_info::SystemInformation> systemInformation_;
};

} // namespace status_window
