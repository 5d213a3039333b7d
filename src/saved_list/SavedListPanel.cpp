#include "saved_list/SavedListPanel.h"

#include "main_window/Form1.h"
#include "main_window/Step.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "saved_list/SavedListFile.h"

using namespace platform::Style;

SavedListPanel::SavedListPanel(Form1 &form)
    : QWidget(&form)
    , form_(form) {
    ui.setupUi(this);
}

QByteArray SavedListPanel::saveFile() const {
    return form_.besideProgram(QStringLiteral("save.txt"));
}

QByteArray SavedListPanel::tempFile() const {
    return form_.besideProgram(QStringLiteral("Temp.txt"));
}

QString SavedListPanel::selectedEntry() const {
    const QList<QListWidgetItem *> selected = ui.lstEmployee->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void SavedListPanel::showCount() {
    ui.Label18->setText(QString::number(ui.lstEmployee->count()));
}

void SavedListPanel::save() {
    platform::MessageBox &messages = *form_.platform().messageBox;
    const QString path = form_.controls().Text3->text();
    if (path.isEmpty()) {
        messages.show(QStringLiteral("You must enter file path!!"), Critical, QStringLiteral("Select!"));
        return;
    }
    if (path == selectedEntry()) {
        messages.show(QStringLiteral("EXISTED!"), OkOnly, form_.timeOfDay());
        return;
    }
    const QByteArray entry = platform::encodePath(path);
    if (!saved_list::isStorable(entry)) {
        messages.show(
            QStringLiteral("This path cannot be saved: it contains a double quote or a line break."),
            Critical, QStringLiteral("Select!"));
        return;
    }
    if (!platform::appendToFile(saveFile(), saved_list::line(entry))) {
        messages.show(QStringLiteral("The path could not be saved to save.txt: ") + platform::lastErrorText(),
                      Critical, QStringLiteral("Select!"));
        return;
    }
    ui.lstEmployee->addItem(path);
    messages.show(path + QStringLiteral(" has been saved!"), Information, form_.timeOfDay());
}

void SavedListPanel::reload() {
    ui.lstEmployee->clear();
    // A missing save.txt (nothing saved yet) is an empty list; it is not created here.
    for (const QByteArray &entry : saved_list::read(saveFile()).value_or(std::vector<QByteArray>()))
        ui.lstEmployee->addItem(platform::decodePath(entry));
}

void SavedListPanel::open() {
    step([&] { reload(); });
    step([&] { showCount(); });
    step([&] { setVisible(true); });
}

void SavedListPanel::on_lstEmployee_itemSelectionChanged() {
    const QList<QListWidgetItem *> selected = ui.lstEmployee->selectedItems();
    if (!selected.isEmpty())
        ui.Text6->setText(selected.first()->text());
}

void SavedListPanel::rewrite(const std::vector<QByteArray> &kept, int removed) {
    const QByteArray survivors = saved_list::lines(kept);
    check(platform::writeFileAtomically(tempFile(), survivors));
    if (removed == 0)
        return;
    QByteArray temp;
    check(platform::readWholeFile(tempFile(), temp) && temp == survivors);
    check(platform::writeFileAtomically(saveFile(), saved_list::lines(saved_list::parse(temp))));
}

void SavedListPanel::on_Command16_clicked() {
    platform::MessageBox &messages = *form_.platform().messageBox;
    const int answer =
        messages.show(QStringLiteral("Delete selected item?"), YesNo, QStringLiteral("Delete"));
    if (answer == platform::Answer::Yes) {
        if (ui.Text6->text().isEmpty()) {
            messages.show(QStringLiteral("You must select an item!!"), Critical, QStringLiteral("select"));
            showCount();
        } else {
            const QString toRemove = selectedEntry().toLower();
            std::vector<QByteArray> kept;
            int removed = 0;
            for (const QByteArray &entry : saved_list::read(saveFile()).value_or(std::vector<QByteArray>())) {
                if (platform::decodePath(entry).toLower() == toRemove)
                    ++removed;
                else
                    kept.push_back(entry);
            }
            step([&] { rewrite(kept, removed); });
            form_.controls().Text3->clear();
            messages.show(QStringLiteral("item has been Deleted!"), Information, QStringLiteral("Deleted"));
            showCount();
        }
    }
    step([&] { reload(); });
    ui.Text6->clear();
    showCount();
}

void SavedListPanel::on_Command14_clicked() {
    setVisible(false);
}
