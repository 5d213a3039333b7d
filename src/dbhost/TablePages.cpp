// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbhost/TablePages.h"

#include "dbhost/ValueDecoder.h"

#include "helper_protocol/Protocol.h"

#include <algorithm>

namespace dbhost {

// The helper speaks the protocol: its messages and keys are the helper's own words.
using namespace helper_protocol;

namespace {

constexpr qint64 maximumLongValue = 16 * 1024 * 1024;
constexpr int maximumChainLinks = 1 << 16;

// Adds the pages whose bits are set, the first bit standing for page `first`. A page past the end of
// the file ends the list: reading it will say so, once.
void addMarkedPages(std::vector<quint32> &pages, const unsigned char *bits, int byteCount, quint64 first,
                    quint32 pageCount) {
    for (int i = 0; i < byteCount * 8; ++i) {
        if (!(bits[i / 8] & (1 << (i % 8))))
            continue;
        const quint64 number = first + quint64(i);
        if (number >= pageCount)
            return pages.push_back(quint32(std::min<quint64>(number, 0xffffffffu)));
        pages.push_back(quint32(number));
    }
}

} // namespace

TablePages::TablePages(const JetFile &file, const QString &table)
    : file_(file)
    , layout_(file.isJet3() ? jet3Layout : jet4Layout)
    , table_(table) {}

void TablePages::damaged(const QString &what, const QString &detail) const {
    throw HostError{Error::unreadable, QStringLiteral("Table '%1': %2").arg(table_, what), detail};
}

QByteArray TablePages::page(quint32 number) const {
    if (number == 0)
        damaged(QStringLiteral("a pointer leads to the header page."));
    std::variant<QByteArray, PageFault> read = file_.page(number);
    if (const PageFault *fault = std::get_if<PageFault>(&read))
        damaged(number >= file_.pageCount()
                    ? QStringLiteral("page %1 lies past the end of the file.").arg(number)
                    : QStringLiteral("page %1 cannot be read.").arg(number),
                fault->detail);
    return std::get<QByteArray>(std::move(read));
}

int TablePages::rowCount(const QByteArray &page) const {
    return get16(bytes(page) + layout_.dataPage.rowCount);
}

std::optional<quint16> TablePages::slot(const QByteArray &page, int row) const {
    const int at = slotTable() + DataPage::slotSize * row;
    if (row < 0 || at + DataPage::slotSize > layout_.pageSize)
        return std::nullopt;
    return get16(bytes(page) + at);
}

std::optional<RowBounds> TablePages::locateRow(const QByteArray &page, int row) const {
    const int count = rowCount(page);
    const int rowsFrom = slotTable() + DataPage::slotSize * count;
    if (row < 0 || row >= count || rowsFrom > layout_.pageSize)
        return std::nullopt;
    const unsigned char *slotBytes = bytes(page) + slotTable();
    const auto startOf = [&](int r) {
        return get16(slotBytes + DataPage::slotSize * r) & DataPage::rowStartMask;
    };
    const RowBounds bounds{startOf(row), row == 0 ? layout_.pageSize : startOf(row - 1)};
    if (bounds.start < rowsFrom || bounds.start > bounds.end || bounds.end > layout_.pageSize)
        return std::nullopt;
    return bounds;
}

bool TablePages::isDataPageOf(const QByteArray &page, quint32 definitionPage) const {
    return quint8(page[PageType::offset]) == PageType::data &&
           get32(bytes(page) + DataPage::owner) == definitionPage;
}

std::vector<quint32> TablePages::mappedPages(RowPointer usageMap) const {
    const QByteArray p = page(usageMap.page);
    const std::optional<RowBounds> row = locateRow(p, usageMap.row);
    if (!row || row->size() < UsageMap::rowBitmap)
        damaged(QStringLiteral("its page map is damaged."));
    const unsigned char *map = bytes(p) + row->start;
    const int size = row->size();
    std::vector<quint32> pages;
    if (map[UsageMap::kind] == UsageMap::bitmapInRow) {
        addMarkedPages(pages, map + UsageMap::rowBitmap, size - UsageMap::rowBitmap,
                       get32(map + UsageMap::firstPage), file_.pageCount());
    } else if (map[UsageMap::kind] == UsageMap::bitmapPages) {
        const int bitmapBytes = layout_.pageSize - UsageMap::bitmapPageHeader;
        for (int i = 0; UsageMap::bitmapPagePointers + UsageMap::pageNumberSize * (i + 1) <= size; ++i) {
            const quint32 number = get32(map + UsageMap::bitmapPagePointers + UsageMap::pageNumberSize * i);
            if (number == 0)
                continue;
            const QByteArray bitmap = page(number);
            if (quint8(bitmap[PageType::offset]) != PageType::usageMap)
                damaged(QStringLiteral("its page map points to page %1, which is no map.").arg(number));
            addMarkedPages(pages, bytes(bitmap) + UsageMap::bitmapPageHeader, bitmapBytes,
                           quint64(i) * quint64(bitmapBytes * 8), file_.pageCount());
        }
    } else {
        damaged(QStringLiteral("its page map is of an unknown kind."));
    }
    return pages;
}

QByteArray TablePages::longValue(const unsigned char *header, size_t size) const {
    if (size < size_t(LongValue::headerSize))
        return {};
    const quint32 lengthAndKind = get32(header);
    const qint64 length = lengthAndKind & LongValue::lengthMask;
    if (lengthAndKind & LongValue::inRow)
        return QByteArray(reinterpret_cast<const char *>(header + LongValue::headerSize),
                          qsizetype(qMin<qint64>(length, qint64(size) - LongValue::headerSize)));
    if (length > maximumLongValue)
        damaged(QStringLiteral("a long value is larger than %1 bytes.").arg(maximumLongValue));
    quint32 next = get32(header + LongValue::pointer);
    const bool single = lengthAndKind & LongValue::singleRow;
    QByteArray out;
    for (int link = 0; next != 0 && out.size() < length; ++link) {
        if (link == maximumChainLinks)
            damaged(QStringLiteral("a long value chain does not end."));
        const RowPointer at = RowPointer::from(next);
        const QByteArray p = page(at.page);
        const std::optional<RowBounds> row = locateRow(p, at.row);
        if (!row)
            damaged(QStringLiteral("a long value points to a missing row."));
        const char *data = p.constData() + row->start;
        if (single)
            return QByteArray(data, qsizetype(qMin<qint64>(length, row->size())));
        if (row->size() < LongValue::chainLinkSize)
            damaged(QStringLiteral("a long value chain is broken."));
        next = get32(bytes(p) + row->start);
        out.append(data + LongValue::chainLinkSize, row->size() - LongValue::chainLinkSize);
    }
    out.truncate(qsizetype(qMin<qint64>(length, out.size())));
    return out;
}

} // namespace dbhost
