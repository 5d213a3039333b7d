#include "result_actions/FileActions.h"

#include "base/Step.h"
#include "main_window/Form1.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "platform/Pictures.h"
#include "platform/Processes.h"
#include "platform/Sound.h"
#include "result_actions/PictureViewer.h"

#include <QLineEdit>

using platform::Style::Information;

const QString FileActions::copyTitle = QStringLiteral("VELDORANWORKS");
const QString FileActions::copyFailed = QStringLiteral("Error. File not copied!");

FileActions::FileActions(Form1 &form)
    : form_(form) {}

QByteArray FileActions::selectedEntry(bool &selected) const {
    ResultListView &list = *form_.controls().List1;
    selected = list.listIndex() >= 0;
    return selected ? list.results().bytes(list.listIndex()) : QByteArray();
}

void FileActions::selectionStep() {
    Ui::Form1 &c = form_.controls();
    bool selected = false;
    const QByteArray path = selectedEntry(selected);
    step([&] { c.Text3->setText(platform::decodePath(path)); });
    // Two separate loads, one per frame; a file that is not a picture leaves both as they were.
    Ui::PictureViewer &viewer = form_.Picture1().controls();
    step([&] {
        const std::optional<QImage> picture = platform::loadPicture(path);
        check(picture.has_value());
        viewer.Image1->setPicture(*picture);
    });
    step([&] {
        const std::optional<QImage> picture = platform::loadPicture(path);
        check(picture.has_value());
        viewer.Image2->setPicture(*picture);
    });
}

void FileActions::copySelected() {
    bool selected = false;
    const QByteArray source = selectedEntry(selected);
    const QString folder = form_.controls().Text4->text();
    const bool copied =
        selected && platform::copyFile(source, form_.besideProgram(form_.controls().Text5->text()));
    form_.platform().messageBox->show(copied ? QStringLiteral("File copied at ") + folder + u'/' : copyFailed,
                                      Information, copyTitle);
}

void FileActions::deleteFile() {
    Ui::Form1 &c = form_.controls();
    const QString prompt = QStringLiteral("Are you sure you want to delete this file?\r\n\r\nFile path and "
                                          "Filename:\r\n") +
                           c.Text3->text();
    const int answer = form_.platform().messageBox->show(
        prompt, platform::Style::YesNo | Information | platform::Style::Critical, QStringLiteral("Confirm"));
    if (answer != platform::Answer::Yes)
        return;
    // Nothing follows, whether or not a file was deleted: the entry stays in the list.
    step([&] { check(platform::deleteFile(platform::encodePath(c.Text3->text()))); });
}

void FileActions::run() {
    step([&] { check(form_.platform().processes->start(form_.controls().Text3->text())); });
}

void FileActions::play() {
    bool selected = false;
    const QByteArray name = selectedEntry(selected);
    if (selected)
        form_.platform().sound->play(name);
}

void FileActions::prepareDrive(const QString &drive) {
    Ui::Form1 &c = form_.controls();
    step([&] { check(c.Drive1->setDrive(drive)); });
    step([&] { c.Text2->setText(drive); });
    step([&] { c.Text1->setEditText(QStringLiteral("Lumsift.ocx")); });
}

void FileActions::searchAndCopyComponent() {
    Ui::Form1 &c = form_.controls();
    ResultListView &list = *c.List1;
    step([&] { list.clear(); });
    for (const QString &drive : {QStringLiteral("C:"), QStringLiteral("D:")}) {
        prepareDrive(drive);
        step([&] { form_.setEnabled(false); });
        step([&] { form_.LS1().FindFiles(list.results(), c.Text2->text(), c.Text1->currentText(), form_); });
    }
    step([&] { form_.setEnabled(true); });
    step([&] { form_.setWindowTitle(QStringLiteral("Finish search!")); });
    step([&] { c.Label4->setText(QString::number(list.listCount())); });
    step([&] { list.setFocus(); });
    step([&] { check(list.setListIndex(0)); });
    step([&] { c.Label4->setText(QString::number(list.listCount())); });
    // Only a file this command found is copied; a path left in Text3 from before never is.
    const bool found = list.listCount() > 0;
    const bool copied = found && platform::copyFile(platform::encodePath(c.Text3->text()),
                                                    form_.besideProgram(QStringLiteral("Lumsifter.ocx")));
    form_.platform().messageBox->show(copied ? QStringLiteral("File copied!") : copyFailed, Information,
                                      copyTitle);
}
