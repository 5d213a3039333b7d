// SPDX-License-Identifier: GPL-3.0-or-later
#include "status_window/Form2.h"

#include "base/Step.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/TimeText.h"
#include "search_component/ResultListView.h"
#include "system_info/SystemInformation.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace status_window {

using base::addToCounter;
using base::check;
using base::counterValue;
using base::step;

namespace {

// Grey levels of the title's pulse, for steps 1 to 12.
constexpr int titleGreys[12] = {0, 64, 128, 192, 224, 255, 255, 224, 192, 128, 64, 0};

// Writes a label only when its text changes, so that the 1 ms mirror does not repaint for nothing.
void setText(QLabel *label, const QString &text) {
    if (label->text() != text)
        label->setText(text);
}

// A time-of-day text as seconds since midnight; an empty or unreadable text fails the step.
int parseOrFail(const QString &text) {
    const std::optional<int> seconds = platform::parseTimeOfDay(text);
    check(seconds.has_value());
    return *seconds;
}

} // namespace

Form2::Form2(MainWindowProvider mainWindow, platform::Platform platform)
    : Timer1(makeTimer("Timer1", 1, true))
    , Timer2(makeTimer("Timer2", 110, true))
    , Timer3(makeTimer("Timer3", 110, true))
    , Timer4(makeTimer("Timer4", 1000, true))
    , Timer5(makeTimer("Timer5", 100, false))
    , mainWindow_(std::move(mainWindow))
    , platform_(std::move(platform)) {
    setObjectName(QStringLiteral("Form2"));
    systemInformation_ = std::make_unique<system_info::SystemInformation>(
        platform_, [this]() -> const system_info::SystemInformation::BottomBar * {
            const MainWindowView *main = mainWindow_();
            return main ? &main->bottomBar : nullptr;
        });
    QMetaObject::connectSlotsByName(this);
}

Form2::~Form2() {
    stopTimers();
}

QTimer *Form2::makeTimer(const char *name, int interval, bool enabled) {
    auto *timer = new QTimer(this);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    // The 1 ms mirror must really tick about every millisecond, not at a coarse rate.
    timer->setTimerType(interval < 20 ? Qt::PreciseTimer : Qt::CoarseTimer);
    if (enabled)
        timer->start();
    return timer;
}

void Form2::stopTimers() {
    for (QTimer *timer : {Timer1, Timer2, Timer3, Timer4, Timer5})
        timer->stop();
}

void Form2::setLabel1Caption(const QString &caption) {
    if (caption == label1_.Caption)
        return;
    label1_.Caption = caption;
    label1_.Tag = addToCounter(label1_.Tag, 1);
}

void Form2::on_Timer1_timeout() {
    const MainWindowView *main = mainWindow_();
    if (!main)
        return; // every step needs the main window
    const MainWindowView &c = *main;
    step([&] { setLabel1Caption(c.captionMirror->text()); });
    step([&] { setText(c.resultCount, QString::number(c.resultList->listCount())); });
    step([&] { setText(c.driveCount, QString::number(c.driveList->count())); });
    step([&] { setText(c.captionMirror, c.window->windowTitle()); });
    step([&] {
        const QString location = c.driveList->currentText().left(3);
        if (c.location->text() != location)
            c.location->setText(location);
    });
    step([&] { setText(c.folderCount, label1_.Tag); });
    step([&] { setText(c.selectedEntry, c.resultList->text()); });
}

void Form2::on_Timer2_timeout() {
    Tag = addToCounter(Tag, 1);
    const int stepNumber = counterValue(Tag);
    if (stepNumber < 1 || stepNumber > 12)
        return;
    if (const MainWindowView *main = mainWindow_()) {
        QLabel *title = main->title;
        QPalette palette = title->palette();
        const int grey = titleGreys[stepNumber - 1];
        palette.setColor(QPalette::WindowText, QColor(grey, grey, grey));
        title->setPalette(palette);
    }
    if (stepNumber == 12)
        Tag = QStringLiteral("0");
}

void Form2::on_Timer3_timeout() {
    systemInformation_->tick(Command1.Caption, Command1.Tag);
}

void Form2::settleDuration() {
    step([&] { dtStart = parseOrFail(Text1.Text); });
    step([&] { dtEnd = parseOrFail(Text2.Text); });
    step([&] { dtDuration = dtEnd - dtStart; });
    step([&] { Label2.Caption = platform::durationText(dtDuration); });
    step([&] {
        const MainWindowView *main = mainWindow_();
        check(main != nullptr);
        main->duration->setText(Label2.Caption);
    });
}

void Form2::on_Timer4_timeout() {
    settleDuration();
}

void Form2::on_Timer5_timeout() {
    Text2.Text = platform::timeOfDayText(*platform_.clock);
}

QString Form2::overviewText(const QString &start, const QString &end, const QString &duration,
                            const QString &keyword, int results, const QString &lastDrive) {
    const QStringList lines = {
        QStringLiteral("LUMSIFTER FINISHED!"),
        QString(),
        QStringLiteral("Overview                      "),
        QString(),
        QStringLiteral("Start Time: ") + start,
        QStringLiteral("End Time: ") + end,
        QStringLiteral("Duration: ") + duration,
        QStringLiteral("Keyword: ") + keyword,
        QStringLiteral("Result found: ") + QString::number(results),
        QStringLiteral("Last Drive searched:") + lastDrive,
    };
    return lines.join(QStringLiteral("\r\n"));
}

void Form2::compu() {
    settleDuration();
    Timer5->stop();
    step([&] {
        const MainWindowView *main = mainWindow_();
        check(main != nullptr);
        const QString report =
            overviewText(Text1.Text, Text2.Text, Label2.Caption, main->pattern->currentText(),
                         main->resultList->listCount(), main->location->text());
        platform_.messageBox->show(report, platform::Style::Information, QStringLiteral("Search Result"));
    });
}

} // namespace status_window
