// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/CompactStore.h"
#include "database/ReportLines.h"

#include <QAbstractListModel>
#include <QListView>

#include <cstdint>
#include <string>

namespace database {

// The report list's lines, kept compactly: each line once in a chunked byte arena, one byte a
// character when all of its characters fit in Latin-1 and two otherwise, so every text comes back
// exactly; a 4-byte reference per line, in blocks. A million report lines take about 35 MB, where
// list-widget items took about 300.
class ReportListModel : public QAbstractListModel, public ReportLines {
    Q_OBJECT
public:
    explicit ReportListModel(QObject *parent = nullptr);

    int count() const { return int(lines_.size()); }
    QString text(int row) const;
    // The line with the most characters (the first of them); 0 when there is none.
    int longestRow() const { return longestRow_; }
    // Bytes held for the lines.
    std::size_t memoryBytes() const;

    // ReportLines. Lines beyond what the arena can reference (4 GiB of text) are not kept.
    void clear() override;
    void addItem(const QString &line) override;

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    base::BlockVector<std::uint32_t> lines_;
    base::TextArena text_;
    std::string encoded_; // reused for each line
    int longestRow_ = 0;
    qsizetype longestLength_ = -1;
};

// List3, the report list: a list box of report lines over the compact model. All lines are one line
// high, so the view measures a single one, the longest, which keeps the horizontal scroll bar
// reaching the end of every line.
class ReportListView : public QListView {
    Q_OBJECT
public:
    explicit ReportListView(QWidget *parent = nullptr);

    ReportListModel &lines() { return model_; }
    int count() const { return model_.count(); }
    QString itemText(int row) const { return model_.text(row); }
    void addItem(const QString &line) { model_.addItem(line); }
    void clear() { model_.clear(); }

private:
    ReportListModel model_;
};

} // namespace database
