// SPDX-License-Identifier: GPL-3.0-or-later
#include "system_info/SystemInformation.h"

#include "base/Step.h"
#include "platform/Sockets.h"
#include "platform/SystemFacts.h"
#include "system_info/XCOPY1.h"

#include <QLabel>
#include <QScopeGuard>

#include <cmath>

namespace system_info {

using base::check;
using base::step;

namespace {

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1024 / 1024;
}

} // namespace

QString wholeNumberText(double value, const QLocale &locale) {
    QString digits = QString::number(std::llround(value)).rightJustified(3, u'0');
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, locale.groupSeparator());
    return digits;
}

QString twoDecimalsText(double value, const QLocale &locale) {
    return QString::number(value, 'f', 2).replace(u'.', locale.decimalPoint());
}

QString hostLine(const QString &hostName) {
    return QStringLiteral("Computer Name: ") + hostName;
}

std::optional<QString> memoryLine(std::uint64_t availableBytes, std::uint64_t totalBytes,
                                  const QLocale &locale) {
    if (totalBytes == 0)
        return std::nullopt;
    const double available = static_cast<double>(availableBytes);
    const double total = static_cast<double>(totalBytes);
    const double inUse = 100 - (available / total * 100);
    return QStringLiteral("RAM: ") + wholeNumberText(megabytes(availableBytes), locale) +
           QStringLiteral(" MB") + QStringLiteral(" of ") + wholeNumberText(megabytes(totalBytes), locale) +
           QStringLiteral(" MB ") + QStringLiteral("  [") + twoDecimalsText(inUse, locale) +
           QStringLiteral("% in used]");
}

QString userLine(const std::optional<QString> &userName) {
    if (!userName)
        return QStringLiteral("You are not logged in");
    return QStringLiteral("Your Domain:  ") + *userName;
}

TrackedMessageBox::TrackedMessageBox(std::shared_ptr<platform::MessageBox> boxes)
    : boxes_(std::move(boxes)) {}

int TrackedMessageBox::show(const QString &prompt, int style, const QString &title) {
    ++open_;
    const auto closed = qScopeGuard([this] { --open_; });
    return boxes_->show(prompt, style, title);
}

SystemInformation::SystemInformation(const platform::Platform &platform, BottomBarView bottomBar)
    : sockets_(platform.sockets)
    , facts_(platform.systemFacts)
    , messages_(platform.messageBox)
    , bottomBar_(std::move(bottomBar)) {}

const SystemInformation::BottomBar &SystemInformation::bottomBar() const {
    const BottomBar *bar = bottomBar_();
    check(bar != nullptr);
    return *bar;
}

platform::SystemFacts &SystemInformation::facts() const {
    check(facts_ != nullptr);
    return *facts_;
}

void SystemInformation::tick(QString &memoryLine, QString &userLine) {
    step([&] { showHostName(); });
    platform::MemoryStatus memory;
    step([&] { memory = facts().memoryStatus(); });
    step([&] {
        const std::optional<QString> line =
            system_info::memoryLine(memory.availPhys, memory.totalPhys, QLocale());
        check(line.has_value());
        memoryLine = *line;
    });
    step([&] { bottomBar().memory->setText(memoryLine); });
    step([&] { userLine = system_info::userLine(facts().userName()); });
    step([&] { bottomBar().user->setText(userLine); });
}

void SystemInformation::showHostName() {
    // Ticks go on inside an open box; asking again there would stack one box upon another.
    check(!messages_.isOpen());
    check(sockets_ != nullptr);
    const QString name = XCOPY1(*sockets_, messages_).getHostName();
    // Fetched only now: the main window may have been reloaded while a box was open.
    bottomBar().host->setText(hostLine(name));
}

} // namespace system_info
