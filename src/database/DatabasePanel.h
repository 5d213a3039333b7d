// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "database/ReportList.h"
#include "database/Reports.h"
#include "helper_protocol/HostSession.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace platform {
class MessageBox;
}

namespace Ui {
class DatabasePanel;
}

namespace database {

// The database panel Picture6: the ordinary tables of the selected Access database and the two
// database reports.
class DatabasePanel : public QWidget {
    Q_OBJECT

public:
    // What the panel reads of the main window.
    struct MainWindowView {
        std::function<QString()> selectedPath;  // the box the user may also type in
        std::function<QString()> selectedEntry; // the hidden mirror of the result list's selected entry
    };

    // `ownFilesFolder` is the folder the program's own files come from, which holds ADODEMO.MDB.
    DatabasePanel(QWidget *parent, MainWindowView mainWindow, std::shared_ptr<platform::MessageBox> messages,
                  QString ownFilesFolder, QString helperProgram);
    ~DatabasePanel() override;

    // "Open MDB": makes the panel visible, nothing else.
    void open();

    QListWidget *List2() const;
    ReportListView *List3() const;
    QLabel *Label30() const;
    QLabel *Label34() const;
    QLabel *Label35() const;
    QPushButton *Command18() const;
    QPushButton *Command19() const;
    QPushButton *Command20() const;
    QPushButton *Command21() const;

    // The connection string of both reports: the database whose tables Select last listed, and
    // before any, ADODEMO.MDB beside the program.
    const QString &connectionString() const { return state_.connectionString; }
    // The connection string and the error that last ended a report.
    const ReportState &reportState() const { return state_; }

private slots:
    void on_Command18_clicked(); // "Select"
    void on_Command19_clicked(); // "Close"
    void on_Command20_clicked(); // "DB Info"
    void on_Command21_clicked(); // "DB Properties"

private:
    void applyColours();
    QString selectedTable() const;

    std::unique_ptr<Ui::DatabasePanel> ui_;
    MainWindowView mainWindow_;
    std::shared_ptr<platform::MessageBox> messages_;
    helper_protocol::HostOptions host_;
    ReportState state_;
};

} // namespace database
