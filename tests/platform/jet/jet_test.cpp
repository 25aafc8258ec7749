#include "platform/cp1252.h"
#include "platform/jet/isolatedrun_p.h"
#include "platform/jet/jetimport.h"
#include "platform/jet/jetreader_p.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <map>
#include <set>
#include <thread>
#include <unistd.h>

using platform::DatabaseFormat;

namespace {

const QString kData = QStringLiteral(KALVIA_SOURCE_DIR "/tests/data/jet/");

// Converts the Jet file at path in place, as the closing run does.
platform::JetImportResult convertInPlace(const QString& path)
{
    platform::JetConversion conversion(path);
    if (!conversion.ok())
        return {false, conversion.message(), {}};
    return conversion.commit();
}

// Converts a copy of a Jet file into sqlitePath.
platform::JetImportResult convertCopy(const QString& jetPath, const QString& sqlitePath)
{
    QFile::remove(sqlitePath);
    if (!QFile::copy(jetPath, sqlitePath))
        return {false, QStringLiteral("cannot copy ") + jetPath, {}};
    const platform::JetImportResult result = convertInPlace(sqlitePath);
    QFile::remove(result.keptOriginal);
    return result;
}

QByteArray slurp(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void spit(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The first page of a Jet-like file: page type, "Standard Jet DB" (or ACE) and the version byte.
QByteArray jetHeader(const char* signature, char version, int size)
{
    QByteArray bytes(size, '\0');
    bytes[1] = 1;
    bytes.replace(4, 15, signature);
    bytes[0x14] = version;
    return bytes;
}

// One value as SQLite stored it.
struct Value {
    int type = SQLITE_NULL;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // text (UTF-8) or blob

    QString text() const { return QString::fromUtf8(bytes); }
    bool operator==(const Value&) const = default;
};

Value integer(qint64 v) { return {SQLITE_INTEGER, v, 0, {}}; }
Value real(double v) { return {SQLITE_FLOAT, 0, v, {}}; }
Value text(const QString& v) { return {SQLITE_TEXT, 0, 0, v.toUtf8()}; }
Value null() { return {}; }

void PrintTo(const Value& v, std::ostream* os)
{
    switch (v.type) {
    case SQLITE_NULL: *os << "NULL"; break;
    case SQLITE_INTEGER: *os << "INTEGER " << v.integer; break;
    case SQLITE_FLOAT: *os << "REAL " << std::setprecision(17) << v.real; break;
    case SQLITE_TEXT: *os << "TEXT '" << v.bytes.toStdString() << "'"; break;
    default: *os << "BLOB of " << v.bytes.size() << " bytes";
    }
}

// Read access to a converted database through the SQLite C API.
class Db {
public:
    explicit Db(const QString& path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString();
    }
    ~Db() { sqlite3_close(m_db); }

    std::vector<std::vector<Value>> rows(const QString& sql) const
    {
        std::vector<std::vector<Value>> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(m_db);
            return out;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<Value> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                Value v;
                v.type = sqlite3_column_type(st, i);
                v.integer = sqlite3_column_int64(st, i);
                v.real = v.type == SQLITE_FLOAT ? sqlite3_column_double(st, i) : 0;
                if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) {
                    const void* p = v.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st, i))
                                                          : sqlite3_column_blob(st, i);
                    v.bytes = QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(st, i));
                }
                if (v.type != SQLITE_INTEGER)
                    v.integer = 0;
                row.push_back(v);
            }
            out.push_back(row);
        }
        sqlite3_finalize(st);
        return out;
    }

    Value value(const QString& sql) const
    {
        const auto r = rows(sql);
        return r.empty() || r[0].empty() ? Value{SQLITE_NULL, -1, -1, "no row"} : r[0][0];
    }

    // Column names and declared types in table order.
    std::vector<std::pair<QString, QString>> columns(const QString& table) const
    {
        std::vector<std::pair<QString, QString>> out;
        for (const auto& r : rows(QStringLiteral("SELECT name, type FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
            out.emplace_back(r[0].text(), r[1].text());
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};

// Converts a fixture into a fresh folder and keeps the result for the test.
class Converted {
public:
    explicit Converted(const QString& fixture)
    {
        m_path = m_dir.path() + QStringLiteral("/converted.sqlite");
        const auto result = convertCopy(kData + fixture, m_path);
        EXPECT_TRUE(result.ok) << result.message.toStdString();
        EXPECT_TRUE(result.message.isEmpty());
        db = std::make_unique<Db>(m_path);
    }
    const Db& operator*() const { return *db; }
    const Db* operator->() const { return db.get(); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Db> db;
};

} // namespace

// ---- Recognising a file ------------------------------------------------------------------

TEST(JetFormat, TellsDatabaseFilesApartByTheirHeader)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        DatabaseFormat expected;
    } made[] = {
        {"empty", {}, DatabaseFormat::Empty},
        {"sqlite", QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'), DatabaseFormat::Sqlite},
        {"jet3-two-pages", jetHeader("Standard Jet DB", 0, 4096), DatabaseFormat::Jet3},
        {"jet3-one-page", jetHeader("Standard Jet DB", 0, 2048), DatabaseFormat::DamagedJet},
        {"jet4-two-pages", jetHeader("Standard Jet DB", 1, 8192), DatabaseFormat::Jet4},
        {"jet4-two-small-pages", jetHeader("Standard Jet DB", 1, 4096), DatabaseFormat::DamagedJet},
        {"jet-version-3", jetHeader("Standard Jet DB", 3, 16384), DatabaseFormat::DamagedJet},
        {"jet-header-only", jetHeader("Standard Jet DB", 0, 20), DatabaseFormat::DamagedJet},
        {"ace", jetHeader("Standard ACE DB", 3, 16384), DatabaseFormat::Ace},
        {"text", QByteArray("[Project]\r\nName=x\r\n"), DatabaseFormat::Other},
    };
    for (const auto& m : made) {
        const QString path = dir.path() + QLatin1Char('/') + QLatin1String(m.name);
        spit(path, m.bytes);
        EXPECT_EQ(platform::databaseFormat(path), m.expected) << m.name;
    }
    EXPECT_EQ(platform::databaseFormat(dir.path() + QStringLiteral("/missing.mdb")), DatabaseFormat::Missing);
    EXPECT_EQ(platform::databaseFormat(dir.path()), DatabaseFormat::Missing);

    const std::map<QString, DatabaseFormat> fixtures = {
        {QStringLiteral("test2V1997.mdb"), DatabaseFormat::Jet3},
        {QStringLiteral("testIndexCodesV1997.mdb"), DatabaseFormat::Jet3},
        {QStringLiteral("test2V2000.mdb"), DatabaseFormat::Jet4},
        {QStringLiteral("testUnicodeCompV2003.mdb"), DatabaseFormat::Jet4},
        {QStringLiteral("installation/Comp_Source.mdb"), DatabaseFormat::Jet4},
    };
    for (const auto& [name, format] : fixtures)
        EXPECT_EQ(platform::databaseFormat(kData + name), format) << name.toStdString();
}

// ---- Dates -------------------------------------------------------------------------------

TEST(JetDate, CountsDaysFrom18991230AndTakesTheFractionAsTimeOfDay)
{
    const struct {
        double serial;
        const char* expected;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.1, "1899-12-31 02:24:00"},
        {-1.1, "1899-12-29 02:24:00"},    // before the epoch the time still counts forward
        {-0.5, "1899-12-30 12:00:00"},
        {60.0, "1900-02-28 00:00:00"},    // 1900 is no leap year
        {61.0, "1900-03-01 00:00:00"},
        {36526.75, "2000-01-01 18:00:00"},
        {-34534.0, "1805-06-12 00:00:00"},
        {903809.0, "4374-07-17 00:00:00"},
        {30.0 / 86400, "1899-12-30 00:00:30"},
        {2.0 + 86399.6 / 86400, "1900-01-02 00:00:00"},   // rounds up into the next day
        {-1.0 - 86399.6 / 86400, "1899-12-30 00:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},
        {2958465.5, "9999-12-31 12:00:00"},
    };
    for (const auto& c : cases) {
        const auto text = platform::jet::dateText(c.serial);
        ASSERT_TRUE(text.has_value()) << c.serial;
        EXPECT_EQ(*text, c.expected) << c.serial;
    }
    for (double outside : {-657435.0, 2958466.0, std::nan(""), double(INFINITY)})
        EXPECT_FALSE(platform::jet::dateText(outside).has_value()) << outside;
}

// ---- Converting the fixtures -------------------------------------------------------------

// The same Microsoft Project table, once as Jet 3 and once as Jet 4.
class JetProjectTable : public testing::TestWithParam<const char*> {};

TEST_P(JetProjectTable, KeepsEveryValueAndEveryNull)
{
    const Converted db(QString::fromLatin1(GetParam()));
    const auto rows = db->rows(QStringLiteral("SELECT * FROM MSP_PROJECTS"));
    ASSERT_EQ(rows.size(), 1u);
    const auto columns = db->columns(QStringLiteral("MSP_PROJECTS"));
    ASSERT_EQ(columns.size(), 74u);

    std::set<QString> nulls;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (rows[0][i].type == SQLITE_NULL)
            nulls.insert(columns[i].first);
    }
    const std::set<QString> expectedNulls = {
        QStringLiteral("PROJ_PROP_CATEGORY"), QStringLiteral("PROJ_PROP_KEYWORDS"), QStringLiteral("PROJ_PROP_MANAGER"),
        QStringLiteral("PROJ_POOL_ATTACHED_TO"), QStringLiteral("PROJ_PROP_SUBJECT"), QStringLiteral("PROJ_PROJECT"),
        QStringLiteral("PROJ_VERSION"), QStringLiteral("PROJ_ENT_LIST_SEPARATOR"), QStringLiteral("PROJ_MACHINE_ID"),
        QStringLiteral("PROJ_CHECKEDOUTBY"), QStringLiteral("PROJ_TYPE"), QStringLiteral("PROJ_CHECKEDOUT"),
        QStringLiteral("PROJ_INFO_STATUS_DATE"), QStringLiteral("PROJ_CHECKEDOUTDATE"),
    };
    EXPECT_EQ(nulls, expectedNulls);

    const auto field = [&](const char* column) {
        return db->value(QStringLiteral("SELECT %1 FROM MSP_PROJECTS").arg(QLatin1String(column)));
    };
    EXPECT_EQ(field("PROJ_ID"), integer(1));
    EXPECT_EQ(field("PROJ_NAME"), text(QStringLiteral("Project1")));
    EXPECT_EQ(field("PROJ_INFO_CAL_NAME"), text(QStringLiteral("Standard")));
    EXPECT_EQ(field("PROJ_OPT_CURRENCY_SYMBOL"), text(QStringLiteral("£")));
    EXPECT_EQ(field("PROJ_DATA_SOURCE"), text(QStringLiteral("Z:\\temp\\Project1.mpd")));
    EXPECT_EQ(field("length(PROJ_PROP_AUTHOR)"), integer(348));
    EXPECT_EQ(field("PROJ_INFO_CURRENT_DATE"), text(QStringLiteral("2006-02-03 08:00:00")));
    EXPECT_EQ(field("PROJ_OPT_DEF_FINISH_TIME"), text(QStringLiteral("2006-02-03 17:00:00")));
    EXPECT_EQ(field("PROJ_CREATION_DATE_EX"), text(QStringLiteral("2006-02-03 22:11:05")));
    EXPECT_EQ(field("PROJ_OPT_CALC_ACT_COSTS"), integer(1));
    EXPECT_EQ(field("PROJ_OPT_MULT_CRITICAL_PATHS"), integer(0));
    const Value ole = field("RESERVED_BINARY_DATA");
    EXPECT_EQ(ole.type, SQLITE_BLOB);
    EXPECT_EQ(ole.bytes.size(), 22970);

    std::map<QString, int> types;
    for (const auto& [name, type] : columns)
        ++types[type.startsWith(QLatin1String("TEXT(")) ? QStringLiteral("TEXT(n)") : type];
    const std::map<QString, int> expectedTypes = {
        {QStringLiteral("BIT"), 22},  {QStringLiteral("DATETIME"), 10}, {QStringLiteral("DOUBLE"), 2},
        {QStringLiteral("SHORT"), 12}, {QStringLiteral("LONG"), 6},        {QStringLiteral("LONGTEXT"), 9},
        {QStringLiteral("LONGBINARY"), 1}, {QStringLiteral("TEXT(n)"), 12},
    };
    EXPECT_EQ(types, expectedTypes);
}

INSTANTIATE_TEST_SUITE_P(BothJetVersions, JetProjectTable, testing::Values("test2V1997.mdb", "test2V2000.mdb"));

TEST(JetConversion, KeepsEmptyTextApartFromNull)
{
    // No fixture holds an empty text, so one is made: setting PROJ_PROJECT's bit in the row's null
    // mask turns its NULL (no bytes) into a present value of no bytes.
    const struct {
        const char* file;
        int maskByte; // the null mask's byte for columns 48 to 55
    } cases[] = {{"test2V1997.mdb", 50 * 2048 + 2038 + 6}, {"test2V2000.mdb", 60 * 4096 + 4086 + 6}};
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QByteArray bytes = slurp(kData + QLatin1String(c.file));
        bytes[c.maskByte] = char(bytes[c.maskByte] | 0x02);
        spit(dir.path() + QStringLiteral("/empty.mdb"), bytes);
        const QString out = dir.path() + QStringLiteral("/out.sqlite");
        ASSERT_TRUE(convertCopy(dir.path() + QStringLiteral("/empty.mdb"), out).ok) << c.file;
        const auto row = Db(out).rows(QStringLiteral("SELECT PROJ_PROJECT, PROJ_VERSION FROM MSP_PROJECTS"));
        ASSERT_EQ(row.size(), 1u);
        EXPECT_EQ(row[0], (std::vector<Value>{text(QString()), null()})) << c.file;
    }
}

TEST(JetConversion, DeclaresTheSameColumnsForJet3AndJet4)
{
    // Jet 4 counts text sizes in UCS-2 bytes, Jet 3 in characters; both must give TEXT(characters).
    const Converted jet3(QStringLiteral("test2V1997.mdb"));
    const Converted jet4(QStringLiteral("test2V2000.mdb"));
    const auto columns = jet3->columns(QStringLiteral("MSP_PROJECTS"));
    EXPECT_EQ(columns, jet4->columns(QStringLiteral("MSP_PROJECTS")));
    EXPECT_EQ(columns.front(), std::make_pair(QStringLiteral("PROJ_ID"), QStringLiteral("LONG")));
    std::set<QString> textSizes;
    for (const auto& c : columns) {
        if (c.second.startsWith(QLatin1String("TEXT(")))
            textSizes.insert(c.second);
    }
    EXPECT_TRUE(textSizes.count(QStringLiteral("TEXT(255)")));
    EXPECT_TRUE(textSizes.count(QStringLiteral("TEXT(2)")));
    EXPECT_FALSE(textSizes.count(QStringLiteral("TEXT(510)")));
}

TEST(JetConversion, CopiesEveryTableAndRowOfAJet3File)
{
    const Converted db(QStringLiteral("testIndexCodesV1997.mdb"));
    const std::map<QString, int> rowCounts = {
        {"Table1", 275}, {"Table1_desc", 275}, {"Table2", 9}, {"Table2_desc", 9}, {"Table3", 11},
        {"Table3_desc", 11}, {"Table4", 20}, {"Table4_desc", 20}, {"Table5", 20}, {"Table5_desc", 20},
        {"Table6", 23}, {"Table6_desc", 23}, {"Table8", 20}, {"Table8_desc", 20}, {"Table9", 11},
        {"Table9_desc", 11}, {"Table10", 5}, {"Table10_desc", 5}, {"Table11", 52}, {"Table12", 10},
        {"Table12_asc_desc", 10}, {"Table12_desc_asc", 10}, {"Table12_desc_desc", 10}, {"Table13", 20},
        {"Table13_desc", 20}, {"Table14", 256}, {"Table14_desc", 256}, {"Table15", 52}, {"Table15_desc", 52},
    };
    std::map<QString, int> found;
    for (const auto& r : db->rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        found[r[0].text()] = int(db->value(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(r[0].text())).integer);
    EXPECT_EQ(found, rowCounts);

    // Where the NULLs are: one data value in most tables, seven dates, six in the three-column tables.
    const std::map<QString, int> nullData = {{"Table2", 1}, {"Table3", 1}, {"Table4", 1}, {"Table5", 1},
                                             {"Table6", 7}, {"Table8", 1}, {"Table9", 1}, {"Table10", 0}};
    for (const auto& [table, count] : nullData)
        EXPECT_EQ(db->value(QStringLiteral("SELECT count(*) FROM %1 WHERE data IS NULL").arg(table)), integer(count))
            << table.toStdString();
    EXPECT_EQ(db->value(QStringLiteral("SELECT sum(data1 IS NULL) + sum(data2 IS NULL) FROM Table12")), integer(6));
}

TEST(JetConversion, ReadsNumbersDatesAndGuidsFromTheRawValues)
{
    const Converted db(QStringLiteral("testIndexCodesV1997.mdb"));
    const auto data = [&](const char* table, const char* row) {
        return db->value(QStringLiteral("SELECT data FROM %1 WHERE name = '%2'").arg(QLatin1String(table), QLatin1String(row)));
    };
    const struct {
        const char* table;
        const char* row;
        Value expected;
    } cases[] = {
        // Dates, also before 1899-12-30 and far in the future, and a time without a date.
        {"Table6", "row19", text(QStringLiteral("1899-12-29 02:24:00"))},
        {"Table6", "row4", text(QStringLiteral("1805-06-12 00:00:00"))},
        {"Table6", "row8", text(QStringLiteral("1668-07-20 00:00:00"))},
        {"Table6", "row3", text(QStringLiteral("1899-12-07 00:00:00"))},
        {"Table6", "row7", text(QStringLiteral("4374-07-17 00:00:00"))},
        {"Table6", "row10", text(QStringLiteral("1899-12-30 00:00:30"))},
        {"Table6", "row12", null()},
        // Signed whole numbers and doubles.
        {"Table3", "row9", integer(-32400)},
        {"Table3", "row10", integer(31045)},
        {"Table2", "row6", integer(-349809345)},
        {"Table4", "row14", real(-94.43000000000001)},
        {"Table4", "row16", real(-8540982423.45)},
        // Byte values up to 255.
        {"Table9", "row3", integer(255)},
        {"Table9", "row10", integer(128)},
        // Currency to the cent, whole amounts as integers.
        {"Table8", "row11", real(804983.35)},
        {"Table8", "row16", real(-8540982423.45)},
        {"Table8", "row1", integer(3245)},
        // Single as the shortest decimal that gives the float back (the library's text says 804983.38).
        {"Table5", "row11", real(804983.4)},
        {"Table5", "row18", real(1.1)},
        {"Table5", "row10", real(-0.00035134)},
        {"Table4", "row5", null()},
        // Replication ID as standard GUID text.
        {"Table13", "row0", text(QStringLiteral("{8E39276A-BCA8-4AC4-891E-49911D8438DD}"))},
        {"Table13", "row1", text(QStringLiteral("{BDBB72AF-4C87-4904-9FEA-DF6DC89BF23D}"))},
        // Yes/No.
        {"Table10", "row1", integer(1)},
        {"Table10", "row0", integer(0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(data(c.table, c.row), c.expected) << c.table << " " << c.row;
    EXPECT_EQ(float(data("Table5", "row11").real), 804983.375f);
    EXPECT_EQ(db->value(QStringLiteral("SELECT count(*) FROM Table13 WHERE data GLOB "
                                       "'{[0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F][0-9A-F]-*-*-*-*}'"
                                       " AND length(data) = 38")),
              integer(20));
    EXPECT_EQ(db->columns(QStringLiteral("Table8")).back().second, QStringLiteral("CURRENCY"));
    EXPECT_EQ(db->columns(QStringLiteral("Table5")).back().second, QStringLiteral("SINGLE"));
    EXPECT_EQ(db->columns(QStringLiteral("Table9")).back().second, QStringLiteral("BYTE"));
    EXPECT_EQ(db->columns(QStringLiteral("Table13")).back().second, QStringLiteral("GUID"));
}

TEST(JetConversion, DecodesEveryJet3CharacterFromItsCodePage)
{
    const Converted db(QStringLiteral("testIndexCodesV1997.mdb"));
    int checked = 0;
    for (const auto& r : db->rows(QStringLiteral("SELECT name, data FROM Table14"))) {
        const int code = r[0].text().mid(3).toInt();
        // Bytes that the code page leaves undefined come out as "?". The file itself holds "aa"
        // for codes 0 and 26.
        const bool undefined = code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D;
        const QString middle = code == 0 || code == 26 ? QString()
                               : undefined             ? QStringLiteral("?")
                                                       : platform::fromCp1252(QByteArray(1, char(code)));
        EXPECT_EQ(r[1], text(QLatin1Char('a') + middle + QLatin1Char('a'))) << code;
        ++checked;
    }
    EXPECT_EQ(checked, 256);
}

TEST(JetConversion, DecodesCompressedUnicodeText)
{
    const Converted db(QStringLiteral("testUnicodeCompV2003.mdb"));
    QString every;
    for (char16_t c = 1; c <= 0xFF; ++c)
        every += QChar(c);
    const QStringList expected = {
        QStringLiteral("only ascii chars"), QStringLiteral("ääkkösiä"), QStringLiteral("Мир"),
        // Stored with the Greek extended accents (U+1F79, U+1F7B) and with control characters: the
        // import must not normalise or drop anything.
        QStringLiteral("ϰαὶ τ\u1F79τ' ἐγὼ Κ\u1F7Bϰλωπα"), QStringLiteral("漢字仮名交じり文"),
        QStringLiteral("3L9\u001D52\u0002_AB(¥\u0005!!V"),
        QStringLiteral("ümlaut"), every,
    };
    // "Table" is a reserved word: the name needs quoting.
    const auto rows = db->rows(QStringLiteral("SELECT ID, Unicode FROM \"Table\" ORDER BY ID"));
    ASSERT_EQ(rows.size(), size_t(expected.size()));
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows[i][0], integer(i + 1));
        EXPECT_EQ(rows[i][1], text(expected[i])) << i + 1;
    }
    EXPECT_EQ(db->columns(QStringLiteral("Table")),
              (std::vector<std::pair<QString, QString>>{{"ID", "LONG"}, {"Unicode", "TEXT(255)"}}));
}

// ---- The installation's databases ---------------------------------------------------------

namespace {

using Columns = std::vector<std::pair<QString, QString>>;

Columns presetColumns(const QString& categoryColumn)
{
    return {{"ID", "LONG"},           {"machine_type", "TEXT(50)"}, {"type", "SHORT"},      {"part", "SHORT"},
            {"offset_or_bitno", "SHORT"}, {"var_name", "TEXT(255)"}, {categoryColumn, "LONG"}, {"isBitArray", "BIT"},
            {"text", "TEXT(255)"},     {"page_name", "TEXT(50)"},     {"abs_min", "DOUBLE"},  {"abs_max", "DOUBLE"},
            {"min", "DOUBLE"},         {"max", "DOUBLE"},             {"pass", "SHORT"}};
}

std::vector<QString> tableNames(const Db& db)
{
    std::vector<QString> names;
    for (const auto& r : db.rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")))
        names.push_back(r[0].text());
    return names;
}

} // namespace

TEST(JetConversion, KeepsTheTemplateTablesLayoutAndText)
{
    const Converted db(QStringLiteral("installation/Comp_Source.mdb"));
    EXPECT_EQ(tableNames(*db), (std::vector<QString>{"Source_DEFS", "Source_PRESET_DEFS"}));
    EXPECT_EQ(db->columns(QStringLiteral("Source_PRESET_DEFS")), presetColumns(QStringLiteral("category_id")));
    EXPECT_EQ(db->columns(QStringLiteral("Source_DEFS")),
              (Columns{{"System", "TEXT(50)"}, {"Part", "SHORT"}, {"Var_Name", "TEXT(255)"}}));

    const auto rows = db->rows(QStringLiteral("SELECT ID, offset_or_bitno, category_id, isBitArray, text, page_name, "
                                              "abs_max FROM Source_PRESET_DEFS ORDER BY ID"));
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<std::vector<Value>> expected = {
        {integer(1), null(), integer(100), integer(0), text("Speed servo ###Servo on ###machine"),
         text("Servo ###parameter"), real(3000)},
        {integer(2), integer(4), integer(100), integer(1), text("Bit ###text of servo ###Servo"), text("Status"), real(1)},
        {integer(3), null(), integer(360), integer(0), text("Torque"), text("Servo"), real(100)},
        {integer(4), integer(7), integer(100), integer(1), text(QStringLiteral("Bremse ###text (Öl, Maß)")),
         text("Servo"), real(1)},
    };
    EXPECT_EQ(rows, expected);
    // Names that differ only in letter case stay as they were.
    const auto systems = db->rows(QStringLiteral("SELECT System FROM Source_DEFS"));
    ASSERT_EQ(systems.size(), 4u);
    EXPECT_EQ(systems[1][0], text("VisiWinStudio"));
    EXPECT_EQ(systems[3][0], text("VISIWINSTUDIO"));
}

TEST(JetConversion, KeepsTunedLimitsExactlyInEitherColumnLayout)
{
    // The limits are the doubles nearest to these decimals; a detour through text could change them.
    const std::vector<std::vector<Value>> expected = {
        {integer(1), integer(4), text("Filler.Servo21.Status"), real(0.1), real(0.95), real(0.5), real(0.9), integer(7)},
        {integer(2), null(), text("Filler.Servo21.Speed"), real(13), real(14), real(11), real(12), integer(3)},
        {integer(3), integer(4), text("Filler_Servo22_Status"), real(0.2), real(0.7), real(0.3), real(0.6), integer(5)},
        {integer(4), integer(7), text("Filler.Drive21.Brake"), real(0.05), real(0.5), real(0.15), real(0.45), integer(4)},
    };
    for (const char* file : {"installation/Comp.mdb", "installation/CompOld.mdb"}) {
        const Converted db(QString::fromLatin1(file));
        EXPECT_EQ(tableNames(*db), std::vector<QString>{"PRESET_DEFS"}) << file;
        EXPECT_EQ(db->rows(QStringLiteral("SELECT ID, offset_or_bitno, var_name, abs_min, abs_max, min, max, pass "
                                          "FROM PRESET_DEFS ORDER BY ID")),
                  expected)
            << file;
    }
    const Converted old(QStringLiteral("installation/CompOld.mdb"));
    EXPECT_EQ(old->columns(QStringLiteral("PRESET_DEFS")), presetColumns(QStringLiteral("Categorie")));

    const Converted other(QStringLiteral("installation/NoPresetDefs.mdb"));
    EXPECT_EQ(tableNames(*other), std::vector<QString>{"Misc"});
    EXPECT_EQ(other->rows(QStringLiteral("SELECT * FROM Misc")),
              (std::vector<std::vector<Value>>{{text("alpha"), integer(1)}, {text("beta"), integer(2)}}));
}

// ---- Converting in place ------------------------------------------------------------------

namespace {

// A component folder holding one database file copied from a fixture.
struct Folder {
    QTemporaryDir dir;
    QString db = dir.path() + QStringLiteral("/ServoView.mdb");

    explicit Folder(const QString& fixture = QStringLiteral("installation/Comp.mdb"))
    {
        EXPECT_TRUE(QFile::copy(kData + fixture, db));
        QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }
    QStringList files() const { return entries(dir.path()); }
};

qint64 presetRows(const QString& path)
{
    return Db(path).value(QStringLiteral("SELECT count(*) FROM PRESET_DEFS")).integer;
}

} // namespace

TEST(JetInPlace, ReplacesTheFileAndKeepsTheOriginalBesideIt)
{
    Folder f;
    const QByteArray original = slurp(f.db);

    const auto result = convertInPlace(f.db);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(result.keptOriginal, f.db + QStringLiteral(".jet"));
    EXPECT_EQ(slurp(result.keptOriginal), original);
    EXPECT_EQ(platform::databaseFormat(f.db), DatabaseFormat::Sqlite);
    EXPECT_EQ(presetRows(f.db), 4);
    EXPECT_EQ(QFile::permissions(f.db), QFile::permissions(result.keptOriginal));
    EXPECT_EQ(f.files(), (QStringList{"ServoView.mdb", "ServoView.mdb.jet"}));
}

TEST(JetInPlace, NeverOverwritesAnOriginalKeptEarlier)
{
    Folder f;
    ASSERT_TRUE(convertInPlace(f.db).ok);
    const QByteArray firstOriginal = slurp(f.db + QStringLiteral(".jet"));

    // The same Jet file copied over it again: the kept copy already holds it.
    QFile::remove(f.db);
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("installation/Comp.mdb"), f.db));
    auto result = convertInPlace(f.db);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(result.keptOriginal, f.db + QStringLiteral(".jet"));
    EXPECT_EQ(f.files().size(), 2);

    // A different Jet file: kept under the next free name, the earlier copy untouched.
    QFile::remove(f.db);
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("installation/CompOld.mdb"), f.db));
    const QByteArray secondOriginal = slurp(f.db);
    result = convertInPlace(f.db);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_EQ(result.keptOriginal, f.db + QStringLiteral(".2.jet"));
    EXPECT_EQ(slurp(f.db + QStringLiteral(".jet")), firstOriginal);
    EXPECT_EQ(slurp(f.db + QStringLiteral(".2.jet")), secondOriginal);
    EXPECT_EQ(Db(f.db).columns(QStringLiteral("PRESET_DEFS"))[6].first, QStringLiteral("Categorie"));
}

TEST(JetInPlace, StagedConversionTouchesTheOriginalOnlyOnCommit)
{
    Folder f;
    const QByteArray original = slurp(f.db);
    {
        platform::JetConversion conversion(f.db);
        ASSERT_TRUE(conversion.ok()) << conversion.message().toStdString();
        EXPECT_EQ(platform::databaseFormat(conversion.convertedPath()), DatabaseFormat::Sqlite);
        EXPECT_EQ(presetRows(conversion.convertedPath()), 4);
        EXPECT_EQ(slurp(f.db), original);
        EXPECT_EQ(f.files().size(), 2); // the original and the converted file, nothing kept yet
    } // dropped without commit
    EXPECT_EQ(f.files(), QStringList{"ServoView.mdb"});
    EXPECT_EQ(slurp(f.db), original);

    platform::JetConversion conversion(f.db);
    const auto committed = conversion.commit();
    ASSERT_TRUE(committed.ok) << committed.message.toStdString();
    EXPECT_TRUE(conversion.convertedPath().isEmpty());
    EXPECT_EQ(presetRows(f.db), 4);
    const auto twice = conversion.commit();
    EXPECT_TRUE(twice.ok);
    EXPECT_EQ(twice.keptOriginal, committed.keptOriginal);
    EXPECT_EQ(f.files(), (QStringList{"ServoView.mdb", "ServoView.mdb.jet"}));
}

TEST(JetInPlace, StagedConversionRefusesToReplaceAFileChangedSinceItWasRead)
{
    Folder f;
    platform::JetConversion conversion(f.db);
    ASSERT_TRUE(conversion.ok());
    // Another database copied over the original before the commit.
    QFile::remove(f.db);
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("installation/NoPresetDefs.mdb"), f.db));
    const QByteArray replacement = slurp(f.db);

    const auto result = conversion.commit();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(f.db)) << result.message.toStdString();
    EXPECT_EQ(slurp(f.db), replacement);
    EXPECT_EQ(f.files(), QStringList{"ServoView.mdb"});
}

// ---- Bad input ----------------------------------------------------------------------------

TEST(JetInPlace, RefusesBadFilesAndLeavesThemUntouched)
{
    const QByteArray indexCodes = slurp(kData + QStringLiteral("testIndexCodesV1997.mdb"));
    QByteArray looping = slurp(kData + QStringLiteral("test2V2000.mdb"));
    looping[133739] = char(0xFA); // a damaged property record in the table list
    const struct {
        const char* name;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"empty", {}, "is empty"},
        {"truncated-at-a-page", indexCodes.left(100 * 2048), "cannot be converted"},
        {"truncated-inside-a-page", indexCodes.left(300000), "cannot be converted"},
        {"cut-to-its-header", indexCodes.left(1000), "damaged Jet database"},
        {"only-claims-jet", jetHeader("Standard Jet DB", 1, 4 * 4096), "cannot be converted"},
        {"ace", jetHeader("Standard ACE DB", 2, 4 * 4096), "Access 2007 or later"},
        {"damaged-table-list", looping, "cannot be converted"},
        {"text", QByteArray("not a database\r\n"), "neither an SQLite nor a Jet database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/ServoView.mdb");
        spit(path, c.bytes);

        const auto started = std::chrono::steady_clock::now();
        const auto result = convertInPlace(path);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.message.contains(QLatin1Char('"') + path + QLatin1Char('"'))) << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(QLatin1String(c.says))) << result.message.toStdString();
        EXPECT_EQ(slurp(path), c.bytes);
        EXPECT_EQ(entries(dir.path()), QStringList{"ServoView.mdb"});
    }
}

TEST(JetInPlace, RefusesAMissingFileNamingIt)
{
    QTemporaryDir dir;
    const QString missing = dir.path() + QStringLiteral("/none.mdb");
    const auto result = convertInPlace(missing);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(missing));
}

// ---- The reader's child process -----------------------------------------------------------

TEST(IsolatedRun, ReportsEverythingButACleanSuccessAsAFailure)
{
    using namespace std::chrono_literals;
    const struct {
        const char* name;
        std::function<std::string()> work;
        const char* reason; // empty: success
    } cases[] = {
        {"success", [] { return std::string(); }, ""},
        {"own reason", [] { return std::string("table \"x\" cannot be read"); }, "table \"x\" cannot be read"},
        {"complaint on stderr",
         [] {
             std::fprintf(stderr, "offset 36864 is beyond EOF\nmore\n");
             return std::string();
         },
         "the reader reported: offset 36864 is beyond EOF"},
        {"killed", [] { ::kill(::getpid(), SIGKILL); return std::string(); }, "stopped abnormally (signal 9)"},
        {"exits early", []() -> std::string { ::_exit(0); }, "stopped abnormally"},
        {"never ends", [] { std::this_thread::sleep_for(1h); return std::string(); }, "did not finish within"},
        {"endless complaints",
         [] {
             for (;;)
                 std::fprintf(stderr, "Warning: unsupported data type 0.\n");
             return std::string();
         },
         "the reader reported: Warning: unsupported data type 0."},
    };
    for (const auto& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const std::string reason = platform::runIsolated(c.work, 1500ms);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << c.name;
        if (*c.reason == '\0')
            EXPECT_EQ(reason, "") << c.name;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
    }
}
