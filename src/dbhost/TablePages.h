// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dbhost/JetFile.h"
#include "dbhost/JetLayout.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace dbhost {

inline const unsigned char *bytes(const QByteArray &b) {
    return reinterpret_cast<const unsigned char *>(b.constData());
}

// Where a row lies in its page, in bytes from the page's start.
struct RowBounds {
    int start = 0;
    int end = 0;

    int size() const { return end - start; }
};

// The pages of the file as one table reads them: every pointer followed is checked, and whatever is
// found damaged on the way throws HostError in the table's name.
class TablePages {
public:
    // The file must outlive the pages.
    TablePages(const JetFile &file, const QString &table);

    const JetLayout &layout() const { return layout_; }
    bool isJet3() const { return file_.isJet3(); }
    int codePage() const { return file_.codePage(); }

    QByteArray page(quint32 number) const;
    [[noreturn]] void damaged(const QString &what, const QString &detail = {}) const;

    // A data page's rows: their count, each one's slot, and where a row lies; nothing for a row whose
    // slot is missing or points outside the page.
    int rowCount(const QByteArray &page) const;
    std::optional<quint16> slot(const QByteArray &page, int row) const;
    std::optional<RowBounds> locateRow(const QByteArray &page, int row) const;
    bool isDataPageOf(const QByteArray &page, quint32 definitionPage) const;

    // The pages a usage map marks, in page order.
    std::vector<quint32> mappedPages(RowPointer usageMap) const;
    // The bytes of a memo or OLE value from its header: inside the row, in one long-value row, or in a
    // chain of them.
    QByteArray longValue(const unsigned char *header, size_t size) const;

private:
    int slotTable() const { return layout_.dataPage.rowCount + 2; }

    const JetFile &file_;
    const JetLayout &layout_;
    QString table_;
};

} // namespace dbhost
