// SPDX-License-Identifier: GPL-3.0-or-later
#include "saved_list/SavedListPanel.h"

#include "base/Step.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "saved_list/SavedListFile.h"
#include "ui_SavedListPanel.h"

namespace saved_list {

using base::step;

using namespace platform::Style;

SavedListPanel::SavedListPanel(QWidget *parent, MainWindowView mainWindow,
                               std::shared_ptr<platform::MessageBox> messages)
    : QWidget(parent)
    , ui(std::make_unique<Ui::SavedListPanel>())
    , mainWindow_(std::move(mainWindow))
    , messages_(std::move(messages)) {
    ui->setupUi(this);
    // No label stands beside these two.
    ui->lstEmployee->setAccessibleName(QStringLiteral("Saved list"));
    ui->Text6->setAccessibleName(QStringLiteral("Selected saved path"));
}

SavedListPanel::~SavedListPanel() = default;

QByteArray SavedListPanel::saveFile() const {
    return mainWindow_.besideProgram(QStringLiteral("save.txt"));
}

QByteArray SavedListPanel::tempFile() const {
    return mainWindow_.besideProgram(QStringLiteral("Temp.txt"));
}

QByteArrayView SavedListPanel::selectedEntry() const {
    return ui->lstEmployee->entries().view(ui->lstEmployee->selectedRow());
}

void SavedListPanel::showCount() {
    ui->Label18->setText(QString::number(ui->lstEmployee->count()));
}

void SavedListPanel::save() {
    platform::MessageBox &messages = *messages_;
    const QString path = mainWindow_.selectedPath();
    if (path.isEmpty()) {
        messages.show(QStringLiteral("You must enter file path!!"), Critical, QStringLiteral("Select!"));
        return;
    }
    const QByteArray entry = platform::encodePath(path);
    if (ui->lstEmployee->selectedRow() >= 0 && entry == selectedEntry()) {
        messages.show(QStringLiteral("EXISTED!"), OkOnly, mainWindow_.timeOfDay());
        return;
    }
    if (!saved_list::isStorable(entry)) {
        messages.show(
            QStringLiteral("This path cannot be saved: it contains a double quote or a line break."),
            Critical, QStringLiteral("Select!"));
        return;
    }
    if (const base::Result<void> saved = saved_list::append(saveFile(), entry); !saved) {
        messages.show(QStringLiteral("The path could not be saved to save.txt: ") + saved.error().text(),
                      Critical, QStringLiteral("Select!"));
        return;
    }
    ui->lstEmployee->addItem(path);
    messages.show(path + QStringLiteral(" has been saved!"), Information, mainWindow_.timeOfDay());
}

void SavedListPanel::reload() {
    // A missing save.txt (nothing saved yet) is an empty list; it is not created here.
    ui->lstEmployee->entries().load(saveFile());
}

void SavedListPanel::open() {
    step([&] { reload(); });
    step([&] { showCount(); });
    step([&] { setVisible(true); });
}

void SavedListPanel::on_lstEmployee_itemSelectionChanged() {
    const int row = ui->lstEmployee->selectedRow();
    if (row >= 0)
        ui->Text6->setText(ui->lstEmployee->shownText(row));
}

// Removes every entry equal to the selected one in any letter case. A rewrite that fails is said,
// never reported as a deletion: save.txt is then left as it was.
void SavedListPanel::deleteSelected() {
    platform::MessageBox &messages = *messages_;
    const QByteArrayView toRemove = selectedEntry();
    const saved_list::DeleteOutcome outcome =
        saved_list::deleteEntries(saveFile(), tempFile(), [&](QByteArrayView entry) {
            return platform::sameTextIgnoringCase(entry, toRemove);
        });
    mainWindow_.clearSelectedPath();
    if (outcome.failure.isEmpty())
        messages.show(QStringLiteral("item has been Deleted!"), Information, QStringLiteral("Deleted"));
    else
        messages.show(QStringLiteral("The item could not be deleted: ") + outcome.failure + u'.', Critical,
                      QStringLiteral("Delete"));
}

void SavedListPanel::on_Command16_clicked() {
    platform::MessageBox &messages = *messages_;
    const int answer =
        messages.show(QStringLiteral("Delete selected item?"), YesNo, QStringLiteral("Delete"));
    if (answer == platform::Answer::Yes) {
        if (ui->Text6->text().isEmpty()) {
            messages.show(QStringLiteral("You must select an item!!"), Critical, QStringLiteral("select"));
            showCount();
        } else {
            deleteSelected();
            showCount();
        }
    }
    step([&] { reload(); });
    ui->Text6->clear();
    showCount();
}

void SavedListPanel::on_Command14_clicked() {
    setVisible(false);
}

} // namespace saved_list
