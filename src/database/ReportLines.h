// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace database {

// Where the reports write their lines: the panel's report list, or a plain list of texts.
class ReportLines {
public:
    virtual ~ReportLines() = default;
    virtual void clear() = 0;
    virtual void addItem(const QString &line) = 0;
};

// The lines as a list of texts.
class CollectedLines : public ReportLines {
public:
    void clear() override { lines.clear(); }
    void addItem(const QString &line) override { lines.append(line); }

    QStringList lines;
};

} // namespace database
