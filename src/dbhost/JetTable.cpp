#include "dbhost/JetTable.h"

#include "helper_protocol/Protocol.h"

#include <cstring>

namespace dbhost {

namespace {

constexpr int rowOffsetMask = 0x1fff;
constexpr qint64 maximumLongValue = 16 * 1024 * 1024;
constexpr int maximumChainLinks = 1 << 16;

[[noreturn]] void damaged(const QString &what) {
    throw HostError{Error::unreadable, what};
}

quint32 get32(const unsigned char *p) {
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

QByteArray bytesAt(const unsigned char *p, size_t n) {
    return QByteArray(reinterpret_cast<const char *>(p), qsizetype(n));
}

// The bytes of a memo or OLE value from its 12-byte header: inside the row, in one long-value row,
// or in a chain of them.
QByteArray longValue(MdbHandle *mdb, const unsigned char *field, int size) {
    if (size < 12)
        return {};
    const quint32 header = get32(field);
    const qint64 length = header & 0x3fffffff;
    if (header & 0x80000000u)
        return bytesAt(field + 12, size_t(qMin<qint64>(length, size - 12)));
    quint32 pointer = get32(field + 4);
    const bool single = header & 0x40000000u;
    QByteArray out;
    for (int link = 0; pointer != 0 && out.size() < length && link < maximumChainLinks; ++link) {
        void *page = nullptr;
        int offset = 0;
        size_t rowSize = 0;
        if (mdb_find_pg_row(mdb, int(pointer), &page, &offset, &rowSize) != 0 || !page || offset < 0 ||
            size_t(offset) + rowSize > size_t(mdb->fmt->pg_size))
            damaged(QStringLiteral("A long value points to a missing page."));
        const auto *row = static_cast<const unsigned char *>(page) + offset;
        if (single)
            return bytesAt(row, size_t(qMin<qint64>(length, qint64(rowSize))));
        if (rowSize < 4)
            damaged(QStringLiteral("A long value chain is broken."));
        pointer = get32(row);
        out.append(bytesAt(row + 4, rowSize - 4));
        if (out.size() > maximumLongValue)
            damaged(QStringLiteral("A long value is larger than %1 bytes.").arg(maximumLongValue));
    }
    out.truncate(qsizetype(qMin<qint64>(length, out.size())));
    return out;
}

QString libmdbText(MdbHandle *mdb, int start, int type, int size) {
    char *text = mdb_col_to_string(mdb, mdb->pg_buf, start, type, size);
    const QString out = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return out;
}

} // namespace

QString jet4Text(const unsigned char *data, size_t size) {
    if (size < 2 || data[0] != 0xff || data[1] != 0xfe)
        return QString::fromUtf16(
            reinterpret_cast<const char16_t *>(QByteArray(bytesAt(data, size & ~size_t(1))).constData()),
            qsizetype(size / 2));
    // Compressed: runs of one-byte characters and of UTF-16 units, switched by a zero byte.
    QString out;
    bool compressed = true;
    for (size_t i = 2; i < size;) {
        if (data[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            out.append(QChar(char16_t(data[i++])));
        } else if (i + 1 < size) {
            out.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
            i += 2;
        } else {
            break;
        }
    }
    return out;
}

QString numericText(const unsigned char *data, int scale) {
    // The magnitude is four little-endian words, the most significant first.
    quint32 words[4];
    for (int w = 0; w < 4; ++w)
        words[w] = get32(data + 1 + 4 * w);
    QString digits;
    while (words[0] | words[1] | words[2] | words[3]) {
        quint64 remainder = 0;
        for (quint32 &word : words) {
            const quint64 current = remainder << 32 | word;
            word = quint32(current / 10);
            remainder = current % 10;
        }
        digits.prepend(QChar(u'0' + int(remainder)));
    }
    scale = qBound(0, scale, 38);
    while (digits.size() <= scale)
        digits.prepend(u'0');
    if (scale > 0)
        digits.insert(digits.size() - scale, u'.');
    return (data[0] & 0x80) ? u'-' + digits : digits;
}

JetTable::JetTable(MdbHandle *mdb, bool jet3, const QString &name, quint32 definitionPage)
    : mdb_(mdb)
    , jet3_(jet3) {
    entry_.mdb = mdb;
    entry_.object_type = MDB_TABLE;
    entry_.table_pg = definitionPage;
    std::strncpy(entry_.object_name, name.toUtf8().constData(), MDB_MAX_OBJ_NAME);
    table_ = mdb_read_table(&entry_);
    if (!table_)
        damaged(QStringLiteral("The definition of table '%1' cannot be read.").arg(name));
    // libmdb walks a missing or short usage map off its end.
    if (!table_->usage_map || table_->map_sz < 5)
        damaged(QStringLiteral("The page map of table '%1' is damaged.").arg(name));
    if (!mdb_read_columns(table_) || table_->num_cols == 0 || table_->num_cols > 255)
        damaged(QStringLiteral("The columns of table '%1' cannot be read.").arg(name));
    fields_.resize(table_->num_cols);
    readKeyColumns();
    readColumnFlags();
    mdb_rewind_table(table_);
}

JetTable::~JetTable() {
    if (table_)
        mdb_free_tabledef(table_);
}

MdbColumn *JetTable::column(int index) const {
    return static_cast<MdbColumn *>(g_ptr_array_index(table_->columns, guint(index)));
}

int JetTable::columnIndex(const char *name) const {
    for (int i = 0; i < columnCount(); ++i) {
        if (g_ascii_strcasecmp(column(i)->name, name) == 0)
            return i;
    }
    return -1;
}

// libmdb keeps no nullability; the column records of the definition page have it. Columns whose
// record lies beyond the first definition page count as nullable.
void JetTable::readColumnFlags() {
    flags_.assign(table_->num_cols, 0x02);
    const MdbFormatConstants *fmt = mdb_->fmt;
    if (mdb_read_pg(mdb_, entry_.table_pg) != fmt->pg_size || mdb_->pg_buf[0] != 0x02)
        return;
    const size_t first =
        fmt->tab_cols_start_offset + size_t(table_->num_real_idxs) * fmt->tab_ridx_entry_size;
    for (unsigned k = 0; k < table_->num_cols; ++k) {
        const size_t record = first + size_t(k) * fmt->tab_col_entry_size;
        if (record + fmt->tab_col_entry_size > size_t(fmt->pg_size))
            break;
        const int number = mdb_get_int16(mdb_->pg_buf, int(record + fmt->col_num_offset));
        for (unsigned i = 0; i < table_->num_cols; ++i) {
            if (column(int(i))->col_num == number)
                flags_[i] = mdb_->pg_buf[record + fmt->col_flags_offset];
        }
    }
}

void JetTable::readKeyColumns() {
    key_.assign(table_->num_cols, false);
    GPtrArray *indices = mdb_read_indices(table_);
    if (!indices)
        return;
    for (guint i = 0; i < indices->len; ++i) {
        const auto *index = static_cast<const MdbIndex *>(g_ptr_array_index(indices, i));
        if (index->index_type != 1) // the primary key
            continue;
        for (unsigned k = 0; k < index->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
            const int c = index->key_col_num[k] - 1;
            if (c >= 0 && c < columnCount())
                key_[size_t(c)] = true;
        }
    }
}

QCborArray JetTable::columns() const {
    QCborArray out;
    for (int i = 0; i < columnCount(); ++i) {
        const MdbColumn *c = column(i);
        QCborMap m;
        m[QStringLiteral("name")] = QString::fromUtf8(c->name);
        m[QStringLiteral("type")] = c->col_type;
        m[QStringLiteral("size")] = c->col_type == MDB_TEXT && !jet3_ ? c->col_size / 2 : c->col_size;
        // libmdb holds a Numeric's precision in col_scale and its scale in col_prec.
        m[QStringLiteral("precision")] = c->col_type == MDB_NUMERIC ? c->col_scale : 0;
        m[QStringLiteral("scale")] = c->col_type == MDB_NUMERIC ? c->col_prec : 0;
        m[QStringLiteral("nullable")] = c->col_type != MDB_BOOL && (flags_[size_t(i)] & 0x02) != 0;
        m[QStringLiteral("autoNumber")] = c->is_long_auto != 0 || c->is_uuid_auto != 0;
        m[QStringLiteral("key")] = bool(key_[size_t(i)]);
        out.append(m);
    }
    return out;
}

bool JetTable::next() {
    if (end_ || !mdb_fetch_row(table_)) {
        end_ = true;
        return false;
    }
    int start = 0;
    size_t size = 0;
    if (table_->cur_row == 0 || mdb_find_row(mdb_, int(table_->cur_row - 1), &start, &size) != 0)
        damaged(QStringLiteral("A row of table '%1' cannot be found.").arg(QString::fromUtf8(table_->name)));
    mdb_crack_row(table_, start & rowOffsetMask, size, fields_.data());
    return true;
}

void JetTable::rewind() {
    mdb_rewind_table(table_);
    end_ = false;
}

QCborValue JetTable::value(int index) const {
    const MdbColumn *c = column(index);
    const MdbField &f = fields_[size_t(index)];
    if (c->col_type == MDB_BOOL)
        return !f.is_null; // a Boolean is its bit in the null mask
    if (f.is_null)
        return QCborValue(nullptr);
    if (f.start < 0 || f.siz < 0 || f.start + f.siz > mdb_->fmt->pg_size)
        damaged(QStringLiteral("A value lies outside its page."));
    if (c->is_fixed)
        return fixedValue(c, f.start, f.siz);
    return variableValue(c, f.start, f.siz);
}

QCborValue JetTable::fixedValue(const MdbColumn *c, int start, int size) const {
    const unsigned char *p = mdb_->pg_buf + start;
    const int needed = c->col_type == MDB_BYTE                                    ? 1
                       : c->col_type == MDB_INT                                   ? 2
                       : (c->col_type == MDB_LONGINT || c->col_type == MDB_FLOAT) ? 4
                       : c->col_type == MDB_REPID                                 ? 16
                       : c->col_type == MDB_NUMERIC                               ? 17
                                                                                  : 8;
    if (size < needed)
        return QCborValue(nullptr);
    switch (c->col_type) {
    case MDB_BYTE:
        return p[0];
    case MDB_INT:
        return qint16(mdb_get_int16(mdb_->pg_buf, start));
    case MDB_LONGINT:
        return qint32(quint32(mdb_get_int32(mdb_->pg_buf, start)));
    case MDB_MONEY:
        return qint64(quint64(get32(p)) | quint64(get32(p + 4)) << 32);
    case MDB_FLOAT:
        return double(mdb_get_single(mdb_->pg_buf, start));
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return mdb_get_double(mdb_->pg_buf, start);
    case MDB_NUMERIC:
        return numericText(p, c->col_prec);
    default:
        return bytesAt(p, size_t(size));
    }
}

QCborValue JetTable::variableValue(const MdbColumn *c, int start, int size) const {
    const unsigned char *p = mdb_->pg_buf + start;
    switch (c->col_type) {
    case MDB_TEXT:
        return jet3_ ? libmdbText(mdb_, start, MDB_TEXT, size) : jet4Text(p, size_t(size));
    case MDB_MEMO: {
        if (jet3_)
            return libmdbText(mdb_, start, MDB_MEMO, size);
        const QByteArray text = longValue(mdb_, p, size);
        return jet4Text(reinterpret_cast<const unsigned char *>(text.constData()), size_t(text.size()));
    }
    case MDB_OLE:
        return longValue(mdb_, p, size);
    default:
        return bytesAt(p, size_t(size));
    }
}

} // namespace dbhost
