// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/DatabasePanel.h"

#include "database/ReportList.h"

#include "platform/PathCodec.h"

#include "ui_DatabasePanel.h"

#include "base/Step.h"
#include "controls/Accessibility.h"
#include "database_client/ado/ConnectionString.h"
#include "database_client/dao/Dao.h"
#include "platform/MessageBox.h"

#include <optional>

namespace database {

using base::check;
using base::step;
using controls::nameAfterLabel;

DatabasePanel::DatabasePanel(QWidget *parent, MainWindowView mainWindow,
                             std::shared_ptr<platform::MessageBox> messages, QString ownFilesFolder,
                             QString helperProgram)
    : QWidget(parent)
    , ui_(std::make_unique<Ui::DatabasePanel>())
    , mainWindow_(std::move(mainWindow))
    , messages_(std::move(messages))
    , host_{platform::encodePath(helperProgram)} {
    ui_->setupUi(this);
    applyColours();
    nameAfterLabel(*ui_->List3, *ui_->Label33);
    nameAfterLabel(*ui_->List2, *ui_->Label32);
    state_.connectionString = ado::connectionStringFor(ownFilesFolder + QStringLiteral("/ADODEMO.MDB"));
}

DatabasePanel::~DatabasePanel() = default;

void DatabasePanel::applyColours() {
    QPalette panel = palette();
    panel.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(panel);
    QPalette hint = ui_->Label35->palette();
    hint.setColor(QPalette::WindowText, QColor(64, 64, 64));
    ui_->Label35->setPalette(hint);
}

void DatabasePanel::open() {
    setVisible(true);
}

void DatabasePanel::on_Command19_clicked() {
    setVisible(false);
}

// Select: the ordinary tables of the database that is the selected entry.
void DatabasePanel::on_Command18_clicked() {
    if (mainWindow_.selectedPath().isEmpty()) {
        messages_->show(QStringLiteral("Select database file path"), platform::Style::OkOnly, QString());
        return;
    }
    step([&] { ui_->List2->clear(); });
    std::optional<dao::Database> db;
    step([&] {
        dao::DBEngine &engine = dao::DBEngine::instance();
        engine.setHost(host_);
        db.emplace(engine.OpenDatabase(mainWindow_.selectedEntry()));
    });
    step([&] {
        check(db.has_value());
        for (const dao::TableDef &t : db->TableDefs()) {
            step([&] {
                if (t.Attributes() == 0)
                    ui_->List2->addItem(t.Name());
            });
        }
        state_.connectionString = ado::connectionStringFor(db->Name());
    });
    step([&] {
        check(db.has_value());
        db->Close();
    });
    step([&] { ui_->Label30->setText(QString::number(ui_->List2->count())); });
}

// The item at List2's selected index; empty text when none is selected.
QString DatabasePanel::selectedTable() const {
    const QList<QListWidgetItem *> selected = ui_->List2->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

// DB Info.
void DatabasePanel::on_Command20_clicked() {
    runDatabaseReport(ui_->List3->lines(), state_, selectedTable(), host_);
    ui_->Label34->setText(QString::number(ui_->List3->count()));
}

// DB Properties.
void DatabasePanel::on_Command21_clicked() {
    runPropertiesReport(ui_->List3->lines(), state_, host_);
    ui_->Label34->setText(QString::number(ui_->List3->count()));
}

QListWidget *DatabasePanel::List2() const {
    return ui_->List2;
}

ReportListView *DatabasePanel::List3() const {
    return ui_->List3;
}

QLabel *DatabasePanel::Label30() const {
    return ui_->Label30;
}

QLabel *DatabasePanel::Label34() const {
    return ui_->Label34;
}

QLabel *DatabasePanel::Label35() const {
    return ui_->Label35;
}

QPushButton *DatabasePanel::Command18() const {
    return ui_->Command18;
}

QPushButton *DatabasePanel::Command19() const {
    return ui_->Command19;
}

QPushButton *DatabasePanel::Command20() const {
    return ui_->Command20;
}

QPushButton *DatabasePanel::Command21() const {
    return ui_->Command21;
}

} // namespace database
