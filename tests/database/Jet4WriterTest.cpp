// The fixture writer's files read back by libmdb and by the mdbtools commands.
#include "Jet4Writer.h"
#include "TempFolder.h"

#include <glib.h>

#include <mdbtools.h>

#include <QProcess>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

using namespace jet4;

namespace {

using TextRow = std::vector<std::optional<std::string>>; // nothing: NULL

// A written file opened with libmdb; rows come back as libmdb's text with real NULLs.
class Readback {
public:
    explicit Readback(const std::vector<Object> &objects, const Options &options = {}) {
        path_ = dir_.filePath("fixture.mdb").toStdString();
        writeFile(path_, objects, options);
        mdb_ = mdb_open(path_.c_str(), MDB_NOFLAGS);
        if (!mdb_)
            throw std::runtime_error("mdb_open failed");
        mdb_set_date_fmt(mdb_, "%Y-%m-%d %H:%M:%S");
        mdb_read_catalog(mdb_, MDB_ANY);
    }
    ~Readback() { mdb_close(mdb_); }

    MdbHandle *handle() const { return mdb_; }
    const std::string &path() const { return path_; }
    MdbCatalogEntry *entry(const char *name) { return mdb_get_catalogentry_by_name(mdb_, name); }

    std::vector<TextRow> rows(const char *table) {
        std::vector<TextRow> out;
        MdbTableDef *t = mdb_read_table(entry(table));
        if (!t || !mdb_read_columns(t))
            return out;
        std::vector<std::vector<char>> bound(t->num_cols, std::vector<char>(mdb_->bind_size));
        for (unsigned i = 0; i < t->num_cols; ++i)
            mdb_bind_column(t, int(i + 1), bound[i].data(), nullptr);
        mdb_rewind_table(t);
        std::vector<MdbField> fields(t->num_cols);
        while (mdb_fetch_row(t)) {
            int start;
            size_t length;
            mdb_find_row(mdb_, int(t->cur_row - 1), &start, &length);
            mdb_crack_row(t, start & 0x1fff, length, fields.data());
            TextRow row;
            for (unsigned i = 0; i < t->num_cols; ++i) {
                auto *c = static_cast<MdbColumn *>(g_ptr_array_index(t->columns, i));
                if (c->col_type != MDB_BOOL && fields[i].is_null)
                    row.push_back(std::nullopt);
                else
                    row.push_back(std::string(bound[i].data()));
            }
            out.push_back(row);
        }
        mdb_free_tabledef(t);
        return out;
    }

private:
    TempFolder dir_;
    std::string path_;
    MdbHandle *mdb_ = nullptr;
};

std::string run(const QString &program, const QStringList &arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

Object authors() {
    Object t{"Authors"};
    t.columns = {{"Au_ID", Type::Long}, {"Author", Type::Text, 50}, {"Year Born", Type::Integer}};
    t.rows = {{Value::of(1), Value::ofText(""), Value::null()},
              {Value::of(2), Value::null(), Value::of(-1)},
              {Value::of(3), Value::ofText("Jürgen € 😀"), Value::of(32767)}};
    return t;
}

Object allTypes() {
    Object t{"AllTypes"};
    t.columns = {{"b", Type::Boolean},     {"y", Type::Byte},
                 {"i", Type::Integer},     {"l", Type::Long},
                 {"m", Type::Currency},    {"s", Type::Single},
                 {"d", Type::Double},      {"dt", Type::Date},
                 {"bin", Type::Binary, 8}, {"tx", Type::Text, 10},
                 {"o", Type::Ole},         {"me", Type::Memo},
                 {"g", Type::Guid},        {"n", Type::Numeric, 0, 12, 2}};
    std::vector<uint8_t> guid(16);
    for (int k = 0; k < 16; ++k)
        guid[k] = uint8_t(k);
    t.rows = {{Value::of(1), Value::of(200), Value::of(-2), Value::of(-70000), Value::of(-15000),
               Value::ofReal(0.25), Value::ofReal(-1e100), Value::ofReal(36526.5),
               Value::ofBytes({'A', 'B', 'C'}), Value::ofText("abc"), Value::ofBytes({1, 2, 3}),
               Value::ofText(std::string(1000, 'm')), Value::ofBytes(guid), Value::of(-12345678901LL)},
              Row(14)};
    t.rows[1][0] = Value::of(0);
    return t;
}

} // namespace

TEST(Jet4Writer, EveryColumnTypeReadsBackThroughLibmdb) {
    Readback db({allTypes()});
    const auto rows = db.rows("AllTypes");
    ASSERT_EQ(rows.size(), 2u);
    const std::vector<std::string> expected = {
        "1", "200", "-2", "-70000", "-1.5000", "0.25", "-1e+100", "2000-01-01 12:00:00", "ABC", "abc"};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(rows[0][k], expected[k]) << "column " << k;
    EXPECT_EQ(rows[0][11], std::string(1000, 'm'));
    EXPECT_EQ(rows[0][13], "-123456789.01");
    EXPECT_EQ(rows[1][0], "0") << "a false Boolean is a value, not NULL";
    for (size_t k = 1; k < rows[1].size(); ++k)
        EXPECT_FALSE(rows[1][k]) << "column " << k;
}

TEST(Jet4Writer, ColumnDefinitionsKeepSizesNumericPrecisionAndNullability) {
    Object t{"T"};
    t.columns = {{"Required Text", Type::Text, 50, 0, 0, true}, {"Amount", Type::Numeric, 0, 18, 4}};
    Readback db({t});
    MdbTableDef *def = mdb_read_table(db.entry("T"));
    ASSERT_TRUE(def && mdb_read_columns(def));
    auto *text = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, 0));
    auto *amount = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, 1));
    EXPECT_STREQ(text->name, "Required Text");
    EXPECT_EQ(text->col_size, 100) << "Jet 4 counts text in bytes";
    EXPECT_EQ(amount->col_type, MDB_NUMERIC);
    EXPECT_EQ(amount->col_scale, 18) << "libmdb swaps precision and scale";
    EXPECT_EQ(amount->col_prec, 4);
    mdb_free_tabledef(def);
}

TEST(Jet4Writer, NullDiffersFromEmptyTextAndTextOutsideAsciiSurvives) {
    Readback db({authors()});
    const auto rows = db.rows("Authors");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], "");
    EXPECT_FALSE(rows[0][2]);
    EXPECT_FALSE(rows[1][1]);
    EXPECT_EQ(rows[1][2], "-1");
    EXPECT_EQ(rows[2][1].value_or("").substr(0, 11), "Jürgen €") << "the BMP part";
}

TEST(Jet4Writer, TablesSpanSeveralDataPagesInRowOrder) {
    Object big{"Big"};
    big.columns = {{"ID", Type::Long}, {"Name", Type::Text, 100}};
    for (int i = 0; i < 3000; ++i)
        big.rows.push_back({Value::of(i), Value::ofText(std::string(i % 90, 'x'))});
    for (const uint32_t key : {0u, 0xdeadbeefu}) {
        Options options;
        options.pageKey = key;
        Readback db({big}, options);
        EXPECT_EQ(db.handle()->f->db_key, key);
        const auto rows = db.rows("Big");
        ASSERT_EQ(rows.size(), 3000u);
        for (size_t i = 0; i < rows.size(); i += 499) {
            EXPECT_EQ(rows[i][0], std::to_string(i));
            EXPECT_EQ(rows[i][1].value_or("?").size(), i % 90);
        }
        EXPECT_EQ(rows.back()[0], "2999");
    }
}

TEST(Jet4Writer, CatalogCarriesSystemHiddenLinkedOdbcAndQueryRows) {
    Object user{"Authors"};
    user.columns = {{"Au_ID", Type::Long}};
    Object hidden{"Hidden", ObjectType::Table, 0x8};
    hidden.columns = {{"X", Type::Long}};
    Object system{"MSysX", ObjectType::Table, 0x80000000u};
    system.columns = {{"X", Type::Long}};
    Object access{"MSysAccessLike", ObjectType::Table, 0x2};
    access.columns = {{"X", Type::Long}};
    Object linked{"Linked", ObjectType::LinkedTable, 0x00200000};
    linked.database = "/data/other.mdb";
    linked.foreignName = "Titles";
    Object odbc{"Odbc", ObjectType::OdbcLink, 0x20100000};
    odbc.connect = "ODBC;DSN=books";
    odbc.foreignName = "dbo.titles";
    Object query{"qryAuthors", ObjectType::Query, 0x3};
    Readback db({user, hidden, system, access, linked, odbc, query});

    EXPECT_TRUE(mdb_is_user_table(db.entry("Authors")));
    EXPECT_EQ(db.entry("Hidden")->flags, 0x8);
    EXPECT_TRUE(mdb_is_system_table(db.entry("MSysX")));
    EXPECT_EQ(db.entry("MSysAccessLike")->flags, 0x2);
    EXPECT_EQ(db.entry("Linked")->object_type, MDB_LINKED_TABLE);
    EXPECT_EQ(db.entry("Odbc")->object_type, 4);
    EXPECT_EQ(db.entry("qryAuthors")->object_type, MDB_QUERY);

    bool linkSeen = false, odbcSeen = false;
    for (const TextRow &r : db.rows("MSysObjects")) { // Name 2, Database 8, Connect 9, ForeignName 10
        if (r[2] == "Linked")
            linkSeen = r[8] == "/data/other.mdb" && r[10] == "Titles" && !r[9];
        if (r[2] == "Odbc")
            odbcSeen = r[9] == "ODBC;DSN=books" && r[10] == "dbo.titles" && !r[8];
    }
    EXPECT_TRUE(linkSeen);
    EXPECT_TRUE(odbcSeen);

    EXPECT_EQ(run("mdb-tables", {"-1", QString::fromStdString(db.path())}), "Authors\nHidden\n")
        << "the command lists local non-system tables, hidden ones included";
}

TEST(Jet4Writer, MdbExportPrintsTheRowsExactly) {
    Readback db({authors()});
    EXPECT_EQ(run("mdb-export", {QString::fromStdString(db.path()), "Authors"}),
              "Au_ID,Author,Year Born\n1,,\n2,,-1\n3,\"Jürgen € ??\",32767\n")
        << "the command prints NULL and empty text alike, and characters outside the BMP as ??";
    EXPECT_EQ(run("mdb-ver", {QString::fromStdString(db.path())}), "JET4\n");
}

TEST(Jet4Writer, RejectsWhatTheFormatCannotHold) {
    Object longText{"T"};
    longText.columns = {{"tx", Type::Text, 3}};
    longText.rows = {{Value::ofText("too long")}};
    EXPECT_THROW(build({longText}), std::invalid_argument);

    Object shortRow{"U"};
    shortRow.columns = {{"a", Type::Long}, {"b", Type::Long}};
    shortRow.rows = {{Value::of(1)}};
    EXPECT_THROW(build({shortRow}), std::invalid_argument);

    Object wideRow{"W"};
    wideRow.columns = {{"me", Type::Memo}};
    wideRow.rows = {{Value::ofText(std::string(5000, 'x'))}};
    EXPECT_THROW(build({wideRow}), std::invalid_argument);

    Options jet3;
    jet3.version = 0;
    Object longJet3Row{"L"};
    longJet3Row.columns = {{"tx", Type::Text, 255}};
    longJet3Row.rows = {{Value::ofText(std::string(255, 'x'))}}; // with its offsets past 255 bytes
    EXPECT_THROW(build({longJet3Row}, jet3), std::invalid_argument);
    Object notLatin1{"N"};
    notLatin1.columns = {{"tx", Type::Text, 10}};
    notLatin1.rows = {{Value::ofText("\xE2\x82\xAC")}}; // the euro sign
    EXPECT_THROW(build({notLatin1}, jet3), std::invalid_argument);
    Options longPassword;
    longPassword.password = std::string(21, 'p');
    EXPECT_THROW(build({}, longPassword), std::invalid_argument);

    EXPECT_EQ(utf16le("\xF0\x9F\x98\x80"), (std::vector<uint8_t>{0x3d, 0xd8, 0x00, 0xde}));
    EXPECT_THROW(utf16le("\xC3"), std::invalid_argument);
    EXPECT_THROW(utf16le("\xC3("), std::invalid_argument);
}
