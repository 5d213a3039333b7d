// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/ReportList.h"

#include <QStyledItemDelegate>

#include <climits>
#include <cstring>

namespace database {

namespace {

// The first byte of a stored line says how its characters follow.
constexpr char latin1 = 'L';
constexpr char utf16 = 'U';

// Asked for the size of one line, answers with the size of the longest.
class LongestLineDelegate : public QStyledItemDelegate {
public:
    LongestLineDelegate(const ReportListModel &model, QObject *parent)
        : QStyledItemDelegate(parent)
        , model_(model) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        if (index.model() != &model_ || model_.count() == 0)
            return QStyledItemDelegate::sizeHint(option, index);
        return QStyledItemDelegate::sizeHint(option, model_.index(model_.longestRow()));
    }

private:
    const ReportListModel &model_;
};

bool fitsLatin1(const QString &line) {
    for (const QChar c : line)
        if (c.unicode() > 0xff)
            return false;
    return true;
}

} // namespace

ReportListModel::ReportListModel(QObject *parent)
    : QAbstractListModel(parent) {}

QString ReportListModel::text(int row) const {
    if (row < 0 || row >= count())
        return {};
    const std::string_view stored = text_.at(lines_[std::size_t(row)]);
    const std::string_view characters = stored.substr(1);
    if (stored.front() == latin1)
        return QString::fromLatin1(characters.data(), qsizetype(characters.size()));
    QString out(qsizetype(characters.size() / 2), Qt::Uninitialized);
    std::memcpy(out.data(), characters.data(), characters.size());
    return out;
}

std::size_t ReportListModel::memoryBytes() const {
    return lines_.memoryBytes() + text_.memoryBytes() + encoded_.capacity();
}

void ReportListModel::clear() {
    beginResetModel();
    lines_.clear();
    text_.clear();
    encoded_.clear();
    encoded_.shrink_to_fit();
    longestRow_ = 0;
    longestLength_ = -1;
    endResetModel();
}

void ReportListModel::addItem(const QString &line) {
    if (lines_.size() >= std::size_t(INT_MAX))
        return;
    encoded_.clear();
    if (fitsLatin1(line)) {
        encoded_ += latin1;
        for (const QChar c : line)
            encoded_ += char(c.unicode());
    } else {
        encoded_ += utf16;
        encoded_.append(reinterpret_cast<const char *>(line.constData()), std::size_t(line.size()) * 2);
    }
    const std::uint32_t ref = text_.store(encoded_);
    if (ref == base::TextArena::full)
        return;
    const int row = count();
    if (line.size() > longestLength_) {
        longestLength_ = line.size();
        longestRow_ = row;
    }
    beginInsertRows({}, row, row);
    lines_.push_back(ref);
    endInsertRows();
}

int ReportListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ReportListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return text(index.row());
    return {};
}

ReportListView::ReportListView(QWidget *parent)
    : QListView(parent) {
    // Every line is one line of text: the view need not measure a million of them.
    setUniformItemSizes(true);
    setModel(&model_);
    setItemDelegate(new LongestLineDelegate(model_, this));
}

} // namespace database
