// SPDX-License-Identifier: GPL-3.0-or-later
#include "Golden.h"

#include <QFile>

namespace {

bool updating() {
    return qEnvironmentVariable("LUMSIFTER_UPDATE_GOLDEN") == QStringLiteral("1");
}

QString lineAt(const QStringList &lines, qsizetype index) {
    return index < lines.size() ? u'"' + lines[index] + u'"' : QStringLiteral("(none)");
}

} // namespace

testing::AssertionResult matchesGolden(const QString &file, const QString &text) {
    QFile golden(file);
    if (updating()) {
        if (!golden.open(QIODevice::WriteOnly | QIODevice::Truncate) || golden.write(text.toUtf8()) < 0)
            return testing::AssertionFailure() << "cannot write " << file.toStdString();
        return testing::AssertionSuccess();
    }
    if (!golden.open(QIODevice::ReadOnly))
        return testing::AssertionFailure()
               << "no golden file " << file.toStdString() << " (LUMSIFTER_UPDATE_GOLDEN=1 writes it)";
    const QString expected = QString::fromUtf8(golden.readAll());
    if (text == expected)
        return testing::AssertionSuccess();
    // The first line that differs says more than two long texts side by side.
    const QStringList want = expected.split(u'\n');
    const QStringList got = text.split(u'\n');
    qsizetype line = 0;
    while (line < want.size() && line < got.size() && want[line] == got[line])
        ++line;
    return testing::AssertionFailure()
           << "differs from " << file.toStdString() << " at line " << line + 1 << "\n  expected "
           << lineAt(want, line).toStdString() << "\n  actual   " << lineAt(got, line).toStdString()
           << "\n(LUMSIFTER_UPDATE_GOLDEN=1 rewrites it)";
}

testing::AssertionResult matchesGolden(const QString &file, const QStringList &lines) {
    return matchesGolden(file, lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n');
}

QStringList goldenLines(const QString &file) {
    QFile golden(file);
    if (!golden.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(golden.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}
