// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/Form1.h"

#include "base/Step.h"
#include "controls/Accessibility.h"
#include "controls/EnabledLook.h"
#include "database/DatabasePanel.h"
#include "main_window/DesignLook.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/PathCodec.h"
#include "platform/TimeText.h"
#include "platform/Twips.h"
#include "platform/Volumes.h"
#include "result_actions/FileActions.h"
#include "result_actions/PictureViewer.h"
#include "result_actions/ResultMenu.h"
#include "saved_list/SavedListPanel.h"
#include "status_window/Form2.h"
#include "ui_Form1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>

namespace main_window {

using base::addToCounter;
using base::check;
using base::counterValue;
using base::setTag;
using base::step;
using base::tagOf;
using controls::nameAfterLabel;
using controls::orderTabsByPosition;
using database::DatabasePanel;
using result_actions::FileActions;
using result_actions::PictureViewer;
using result_actions::ResultMenu;
using saved_list::SavedListPanel;
using search_component::ResultListView;
using status_window::Form2;

using platform::LayeredWindow;

namespace {

const QString webSite = QStringLiteral("www.lumsifter.example");
const QString finishCaption = QStringLiteral("Finish search!");

} // namespace

QStringList instructionLines() {
    return {QStringLiteral("WELCOME!"),
            QStringLiteral("RUN THIS FILE IN ANY DRIVE"),
            QStringLiteral("   Examples:"),
            QStringLiteral("     C:/Lumsifter.exe"),
            QStringLiteral("     D:/Lumsifter.exe"),
            QStringLiteral("     E:/Lumsifter.exe"),
            QStringLiteral("     F:/Lumsifter.exe"),
            QStringLiteral("DONT RUN THIS FILE IN SUBFOLDERS OR FOLDERS"),
            QStringLiteral("Make sure to copy ''Lumsift.ocx'' together with this application"),
            QString(),
            webSite,
            QStringLiteral("halvekor@lumsifter.example")};
}

QString aboutText() {
    return QStringList{QStringLiteral("KORVA'S FILE MANAGER UTILITY"),
                       QString(),
                       webSite,
                       QString(),
                       QStringLiteral("Created by Halvekor"),
                       QString(),
                       QStringLiteral(" Written in C++ with the Qt toolkit")}
        .join(QStringLiteral("\r\n"));
}

QString helpText() {
    return QStringLiteral(
        "Place this application in C:/, D:/ , E:/ or any other Drive together with the file "
        "'Lumsift.ocx'.\r\nDo not place this in any FOLDER or SUBFOLDER.\r\n");
}

Form1::Form1(ApplicationView app, const platform::Platform &platform)
    : app_(std::move(app))
    , platform_(platform)
    , timer2_(new QTimer(this))
    , ui(std::make_unique<Ui::Form1>())
    , layered_(*this)
    , ls1_(platform.componentFile, platform.volumes, platform.component) {
    // Timers are named before setupUi so that it connects their slots by name.
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(1);
    timer2_->setTimerType(Qt::PreciseTimer);
    ui->setupUi(this);
    statusView_ = {.window = this,
                   .resultList = ui->List1,
                   .driveList = ui->Drive1,
                   .pattern = ui->Text1,
                   .location = ui->Text2,
                   .resultCount = ui->Label4,
                   .captionMirror = ui->Label6,
                   .driveCount = ui->Label12,
                   .folderCount = ui->Label20,
                   .duration = ui->Label29,
                   .selectedEntry = ui->Label31,
                   .title = ui->lblTitle,
                   .bottomBar = {.host = ui->Label26, .memory = ui->Label25, .user = ui->Label27}};
    placePanels();
    wireDesktopActions();
    makeAccessible();
    design::applyLook(*this);
    controls::keepEnabledLook(*this);
    banner_ = design::banner();
    setWindowIcon(design::windowIcon());
    setFixedSize(size());
    ui->Text1->setInsertPolicy(QComboBox::NoInsert);
    ui->Text1->setCurrentIndex(-1);
    ui->Text1->setEditText(QString());
    // Keys reach the box itself, which hands them to its line edit; an Enter that the line edit gets
    // directly is passed up to the box as well.
    ui->Text1->installEventFilter(this);
    ui->Drive1->setDrives(platform_.volumes->drives());
    startUp();
    timer2_->start();
}

Form1::~Form1() = default;

void Form1::placePanels() {
    const auto timeOfDay = [this] { return this->timeOfDay(); };
    const auto besideProgram = [this](const QString &name) { return this->besideProgram(name); };
    picture1_ = new PictureViewer(this,
                                  {.resultList = *ui->List1,
                                   .resultCount = [this] { return ui->Label4->text(); },
                                   .timeOfDay = timeOfDay},
                                  platform_.messageBox);
    picture1_->setGeometry(twipsRect(3240, 3840, 7455, 4335));
    picture1_->hide();
    picture2_ = new SavedListPanel(this,
                                   {.selectedPath = [this] { return ui->Text3->text(); },
                                    .clearSelectedPath = [this] { ui->Text3->clear(); },
                                    .timeOfDay = timeOfDay,
                                    .besideProgram = besideProgram},
                                   platform_.messageBox);
    picture2_->setGeometry(twipsRect(0, 480, 12855, 4215));
    picture2_->hide();
    DatabasePanel::MainWindowView view{.selectedPath = [this] { return ui->Text3->text(); },
                                       .selectedEntry = [this] { return ui->Label31->text(); }};
    picture6_ = new DatabasePanel(this, view, platform_.messageBox, platform_.ownFilesFolder,
                                  platform_.databaseHelper);
    picture6_->setGeometry(twipsRect(240, 3960, 12255, 4215));
    picture6_->hide();
    fileActions_ = std::make_unique<FileActions>(
        FileActions::MainWindowView{
            .resultList = *ui->List1,
            .pictureViewer = *picture1_,
            .selectedPath = [this] { return ui->Text3->text(); },
            .setSelectedPath = [this](const QString &text) { ui->Text3->setText(text); },
            .applicationFolder = [this] { return ui->Text4->text(); },
            .copyName = [this] { return ui->Text5->text(); },
            .setPattern = [this](const QString &text) { ui->Text1->setEditText(text); },
            .location = [this] { return ui->Text2->text(); },
            .setLocation = [this](const QString &text) { ui->Text2->setText(text); },
            .setDrive = [this](const QString &drive) { return ui->Drive1->setDrive(drive); },
            .setResultCount = [this](const QString &text) { ui->Label4->setText(text); },
            .setEnabled = [this](bool enabled) { setEnabled(enabled); },
            .findFiles = [this](const QString &location) { findFiles(location); },
            .finishSearch = [this] { finishSearch(); },
            .besideProgram = besideProgram,
        },
        platform_);
}

void Form1::wireDesktopActions() {
    resultMenu_ = std::make_unique<ResultMenu>(
        *ui->List1,
        ResultMenu::Commands{.copySelectedFilename = [this] { on_Command10_clicked(); },
                             .deleteFile = [this] { on_Command22_clicked(); },
                             .run = [this] { on_Command8_clicked(); },
                             .play = [this] { on_Command4_clicked(); },
                             .pictureViewer = [this] { on_Command5_clicked(); },
                             .save = [this] { on_Command12_clicked(); },
                             .openMdb = [this] { on_Command17_clicked(); }},
        platform_.desktop, platform_.messageBox);
    connect(ui->List1, &ResultListView::menuRequested, resultMenu_.get(), &ResultMenu::popup);
    connect(ui->List1, &ResultListView::openRequested, resultMenu_.get(), &ResultMenu::open);
    connect(ui->List1, &ResultListView::deleteRequested, this, &Form1::on_Command22_clicked);

    // Keys of the whole window; modal boxes and the disabled window of a search take none.
    const auto key = [this](QKeySequence keys, std::function<void()> reaction) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, std::move(reaction));
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { ui->Text1->setFocus(Qt::ShortcutFocusReason); });
    key(QKeySequence(Qt::Key_F1), [this] { on_Command7_clicked(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { on_Command2_clicked(); });
    key(QKeySequence(Qt::Key_F5), [this] { on_Label16_clicked(); });
}

void Form1::makeAccessible() {
    nameAfterLabel(*ui->Text5, *ui->Label9);
    nameAfterLabel(*ui->Drive1, *ui->Label2);
    nameAfterLabel(*ui->Text2, *ui->Label15);
    nameAfterLabel(*ui->Text1, *ui->Label1);
    nameAfterLabel(*ui->Text4, *ui->Label10);
    // No label stands beside these two.
    ui->List1->setAccessibleName(QStringLiteral("Search results"));
    ui->Text3->setAccessibleName(QStringLiteral("Selected file path"));
    orderTabsByPosition(*this);
}

void Form1::startUp() {
    step([&] { ui->Text4->setText(platform_.applicationFolder); });
    step([&] { check(ui->Drive1->setDrive(QStringLiteral("C:"))); });
    step([&] { app_.statusWindow(); });
    step([&] {
        for (const QString &line : instructionLines())
            ui->List1->addItem(line);
    });
    step([&] {
        lngAlpha_ = 0;
        applyOpacity(lngAlpha_);
    });
    step([&] { ui->Label12->setText(QString::number(ui->Drive1->count())); });
}

void Form1::applyOpacity(int alpha) {
    layered_.SetWindowLong(LayeredWindow::GWL_EXSTYLE,
                           layered_.GetWindowLong(LayeredWindow::GWL_EXSTYLE) | LayeredWindow::WS_EX_LAYERED);
    layered_.SetLayeredWindowAttributes(0, std::uint8_t(alpha), LayeredWindow::LWA_ALPHA);
}

void Form1::on_Timer2_timeout() {
    setTag(ui->Label1, addToCounter(tagOf(ui->Label1), 5));
    lngAlpha_ = counterValue(tagOf(ui->Label1));
    if (counterValue(tagOf(ui->Label1)) == 230)
        timer2_->stop();
    applyOpacity(lngAlpha_);
}

void Form1::rel() {
    timer2_->stop();
    lngAlpha_ = 230;
    applyOpacity(lngAlpha_);
    ui->Label12->setText(QString::number(ui->Drive1->count()));
}

void Form1::stopTimers() {
    timer2_->stop();
    for (QTimer *timer : findChildren<QTimer *>())
        timer->stop();
}

void Form1::on_Label16_clicked() {
    app_.refresh();
}

void Form1::on_Drive1_driveChanged() {
    step([&] { ui->Text1->setFocus(); });
}

void Form1::on_Text2_clicked() {
    ui->Drive1->setVisible(true);
}

void Form1::on_Command2_clicked() {
    const int answer = platform_.messageBox->show(QStringLiteral("Exit now?"),
                                                  platform::Style::YesNo | platform::Style::Question,
                                                  QStringLiteral("Confirm"));
    if (answer == platform::Answer::Yes)
        app_.end();
}

void Form1::on_Command6_clicked() {
    platform_.messageBox->show(aboutText(), platform::Style::Information, QStringLiteral("About"));
}

void Form1::on_Command7_clicked() {
    platform_.messageBox->show(helpText(), platform::Style::Information, QStringLiteral("HELP"));
}

void Form1::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(0, 0, banner_);
}

void Form1::closeEvent(QCloseEvent *event) {
    // Closing the main window from its frame ends the whole program, the status window included.
    event->accept();
    app_.end();
}

bool Form1::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ui->Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            searchLocation(); // the key goes on to the box as usual
    }
    return QWidget::eventFilter(watched, event);
}

QByteArray Form1::besideProgram(const QString &name) const {
    // The user's data folder is made the first time a file in it is used; should that fail, the use
    // itself fails with the reason.
    if (platform_.makeApplicationFolder)
        static_cast<void>(platform::makeFolders(platform::encodePath(ui->Text4->text())));
    return platform::encodePath(ui->Text4->text() + u'/' + name);
}

QString Form1::timeOfDay() const {
    return platform::timeOfDayText(*platform_.clock);
}

void Form1::findFiles(const QString &location) {
    ls1_.FindFiles(ui->List1->results(), location, ui->Text1->currentText(), *this);
}

void Form1::on_Command1_clicked() {
    searchLocation();
}

void Form1::searchLocation() {
    Form2 &status = app_.statusWindow();
    step([&] { status.Timer5->start(); });
    step([&] { ui->Label29->setText(QStringLiteral("00:00:00")); });
    step([&] { status.Text1.Text = timeOfDay(); });
    step([&] { status.setLabel1Tag(QStringLiteral("0")); });
    if (ui->Text1->currentText().isEmpty())
        return;
    step([&] { ui->Text3->clear(); });
    step([&] { ui->List1->clear(); });
    step([&] { setEnabled(false); });
    step([&] { findFiles(ui->Text2->text()); });
    finishSearch();
    step([&] { status.Text2.Text = timeOfDay(); });
    step([&] { status.compu(); });
}

void Form1::finishSearch() {
    step([&] { setEnabled(true); });
    step([&] { setWindowTitle(finishCaption); });
    step([&] { ui->Label4->setText(QString::number(ui->List1->listCount())); });
}

void Form1::on_Command11_clicked() {
    searchAllDrives();
}

// The drives an all-drives run tries, by the drive count's caption: a prefix of C: to G:.
static QStringList drivesOfCount(const QString &count) {
    static const QStringList letters = {QStringLiteral("C:"), QStringLiteral("D:"), QStringLiteral("E:"),
                                        QStringLiteral("F:"), QStringLiteral("G:")};
    for (int n = 1; n <= 5; ++n)
        if (count == QString::number(n))
            return letters.mid(0, n);
    return {};
}

void Form1::searchAllDrives() {
    Form2 &status = app_.statusWindow();
    step([&] { status.Timer5->start(); });
    step([&] { ui->Label29->setText(QStringLiteral("00:00:00")); });
    const QString pattern = ui->Text1->currentText();
    if (pattern.isEmpty())
        return;
    const QString prompt =
        QStringLiteral("Are you sure you want to search ") + pattern +
        QStringLiteral(" in all drives?\r\nThis will take long search and cannot be stop once "
                       "started.\r\nDo you want to continue?");
    const int answer =
        platform_.messageBox->show(prompt, platform::Style::YesNo | platform::Style::Question, timeOfDay());
    if (answer != platform::Answer::Yes)
        return;
    step([&] { status.setLabel1Tag(QStringLiteral("0")); });
    step([&] { ui->Text3->clear(); });
    step([&] { status.Text1.Text = timeOfDay(); });
    const QStringList drives = drivesOfCount(ui->Label12->text());
    if (!drives.isEmpty()) {
        step([&] { ui->List1->clear(); });
        for (const QString &drive : drives) {
            step([&] { check(ui->Drive1->setDrive(drive)); });
            step([&] { ui->Text2->setText(drive); });
            step([&] { setEnabled(false); });
            step([&] { findFiles(ui->Text2->text()); });
        }
        finishSearch();
    }
    step([&] { status.Text2.Text = timeOfDay(); });
    step([&] { status.compu(); });
}

void Form1::on_List1_listIndexChanged() {
    fileActions_->selectionStep();
}

void Form1::on_Command10_clicked() {
    fileActions_->copySelected();
}

void Form1::on_Command22_clicked() {
    fileActions_->deleteFile();
}

void Form1::on_Command8_clicked() {
    fileActions_->run();
}

void Form1::on_Command4_clicked() {
    fileActions_->play();
}

void Form1::on_Command9_clicked() {
    fileActions_->searchAndCopyComponent();
}

void Form1::on_Command5_clicked() {
    picture1_->open();
}

void Form1::on_Command12_clicked() {
    picture2_->save();
}

void Form1::on_Command13_clicked() {
    picture2_->open();
}

void Form1::on_Command17_clicked() {
    picture6_->open();
}

} // namespace main_window
