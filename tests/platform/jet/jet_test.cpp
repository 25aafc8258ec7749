#include "platform/jet/isolatedrun_p.h"
#include "platform/jet/jetimport.h"
#include "platform/jet/jetreader_p.h"
#include "support/installation.h"
#include "support/sql.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;
using support::filesIn;
using support::readFile;
using support::writeFile;

namespace {

QByteArray fixture(const char* name)
{
    return support::dataFile(QStringLiteral("jet/") + QLatin1String(name));
}

// Converts the Jet file at path in place, as the closing run does.
platform::JetImportResult convertInPlace(const QString& path)
{
    platform::JetConversion conversion(path);
    return conversion.ok() ? conversion.commit() : platform::JetImportResult{false, conversion.message(), {}};
}

// Jet bytes converted in a temporary folder, and queries on the result.
struct Converted {
    explicit Converted(const QByteArray& jet)
    {
        writeFile(path, jet);
        const auto result = convertInPlace(path);
        EXPECT_TRUE(result.ok) << result.message.toStdString();
    }
    QStringList operator()(const QString& sql) const { return support::rows(path, sql); }

    QTemporaryDir dir;
    QString path = dir.filePath("converted.mdb");
};

// A component folder holding a copy of the installation's tuned Jet database.
struct Folder {
    Folder() { writeFile(db, fixture("installation/Comp.mdb")); }
    QTemporaryDir dir;
    QString db = dir.filePath("ServoView.mdb");
};

} // namespace

TEST(JetDate, SerialToTextWithinYears100To9999)
{
    const struct { double serial; const char* text; } cases[] = {
        {0.0, "1899-12-30 00:00:00"},         {1.1, "1899-12-31 02:24:00"},
        {-1.1, "1899-12-29 02:24:00"},        {-0.5, "1899-12-30 12:00:00"}, // the time counts forward
        {60.0, "1900-02-28 00:00:00"},        {61.0, "1900-03-01 00:00:00"}, // 1900 is no leap year
        {36526.75, "2000-01-01 18:00:00"},    {903809.0, "4374-07-17 00:00:00"},
        {30.0 / 86400, "1899-12-30 00:00:30"}, {2.0 + 86399.6 / 86400, "1900-01-02 00:00:00"}, // rounded
        {-1.0 - 86399.6 / 86400, "1899-12-30 00:00:00"},
        {-657434.0, "0100-01-01 00:00:00"},   {2958465.5, "9999-12-31 12:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::jet::dateText(c.serial).value_or("none"), c.text) << c.serial;
    for (const double outside : {-657435.0, 2958466.0, std::nan(""), double(INFINITY)})
        EXPECT_FALSE(platform::jet::dateText(outside).has_value()) << outside;
}

TEST(JetConversion, KeepsValuesNullsAndEmptyTexts)
{
    // The same table as Jet 3 and as Jet 4, and the byte of its row's null mask that holds
    // PROJ_PROJECT: setting the bit turns its NULL (no bytes) into a present text of no bytes.
    const struct { const char* file; int maskByte; } versions[] = {
        {"test2V1997.mdb", 50 * 2048 + 2038 + 6}, {"test2V2000.mdb", 60 * 4096 + 4086 + 6}};
    QList<QStringList> columns; // of each version
    for (const auto& v : versions) {
        SCOPED_TRACE(v.file);
        const Converted db(fixture(v.file));
        EXPECT_EQ(db("SELECT quote(PROJ_ID), quote(PROJ_NAME), PROJ_OPT_CURRENCY_SYMBOL, PROJ_DATA_SOURCE, "
                     "length(PROJ_PROP_AUTHOR), quote(PROJ_INFO_CURRENT_DATE), quote(PROJ_OPT_CALC_ACT_COSTS), "
                     "typeof(RESERVED_BINARY_DATA), length(RESERVED_BINARY_DATA) FROM MSP_PROJECTS"),
                  QStringList{"1|'Project1'|£|Z:\\temp\\Project1.mpd|348|'2006-02-03 08:00:00'|1|blob|22970"});
        int nulls = 0;
        for (const QString& column : db("SELECT name FROM pragma_table_info('MSP_PROJECTS')"))
            nulls += db(QStringLiteral("SELECT %1 IS NULL FROM MSP_PROJECTS").arg(column)).value(0).toInt();
        EXPECT_EQ(nulls, 14);
        // Jet 4 counts text sizes in UCS-2 bytes, Jet 3 in characters: both declare characters.
        columns << db("SELECT name, type FROM pragma_table_info('MSP_PROJECTS')");
        QByteArray empty = fixture(v.file);
        empty[v.maskByte] = char(empty[v.maskByte] | 0x02);
        EXPECT_EQ(Converted(empty)("SELECT quote(PROJ_PROJECT), quote(PROJ_VERSION) FROM MSP_PROJECTS"),
                  QStringList{"''|NULL"});
    }
    EXPECT_EQ(columns.value(0), columns.value(1));
}

TEST(JetConversion, CopiesEveryRowWithItsExactValue)
{
    const Converted db(fixture("testIndexCodesV1997.mdb"));
    const QStringList tables = db("SELECT name FROM sqlite_master WHERE type = 'table'");
    int rows = 0;
    for (const QString& table : tables)
        rows += db(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)).value(0).toInt();
    EXPECT_EQ(tables.size(), 29);
    EXPECT_EQ(rows, 1536);
    // As quote() gives them: dates as text (one the library's own text cannot give), whole currency
    // amounts as integers, a Single as the shortest decimal of the float (the library's text says 804983.38).
    // Each value with the declared type of its column.
    const struct { const char* table; const char* row; const char* data; } cases[] = {
        {"Table6", "row4", "'1805-06-12 00:00:00' DATETIME"}, {"Table6", "row12", "NULL DATETIME"},
        {"Table3", "row9", "-32400 SHORT"},                   {"Table2", "row6", "-349809345 LONG"},
        {"Table4", "row14", "-94.43 DOUBLE"},                 {"Table4", "row16", "-8540982423.45 DOUBLE"},
        {"Table4", "row5", "NULL DOUBLE"},                    {"Table9", "row3", "255 BYTE"},
        {"Table9", "row10", "128 BYTE"},                      {"Table8", "row11", "804983.35 CURRENCY"},
        {"Table8", "row1", "3245 CURRENCY"},                  {"Table5", "row11", "804983.4 SINGLE"},
        {"Table5", "row10", "-0.00035134 SINGLE"},            {"Table10", "row1", "1 BIT"},
        {"Table10", "row0", "0 BIT"}, {"Table13", "row0", "'{8E39276A-BCA8-4AC4-891E-49911D8438DD}' GUID"},
    };
    const QString value = QStringLiteral("SELECT quote(data) || ' ' || (SELECT type FROM pragma_table_info('%1') "
                                         "WHERE name = 'data') FROM %1 WHERE name = '%2'");
    for (const auto& c : cases)
        EXPECT_EQ(db(value.arg(QLatin1String(c.table), QLatin1String(c.row))), QStringList{QLatin1String(c.data)});
}

// The original is replaced only by a commit and kept beside, never overwriting a kept original.
TEST(JetInPlace, ReplacesOnlyOnCommitKeepingEveryOriginal)
{
    Folder f;
    const QByteArray original = readFile(f.db);
    {
        platform::JetConversion dropped(f.db);
        ASSERT_TRUE(dropped.ok()) << dropped.message().toStdString();
        EXPECT_EQ(support::rows(dropped.convertedPath(), "SELECT count(*) FROM PRESET_DEFS"), QStringList{"4"});
        EXPECT_EQ(readFile(f.db), original);
    }
    EXPECT_EQ(filesIn(f.dir.path()), QStringList{"ServoView.mdb"});
    const auto committed = convertInPlace(f.db);
    ASSERT_TRUE(committed.ok) << committed.message.toStdString();
    EXPECT_EQ(support::rows(f.db, "SELECT count(*) FROM PRESET_DEFS"), QStringList{"4"});
    EXPECT_EQ(readFile(committed.keptOriginal), original);
    EXPECT_EQ(QFile::permissions(f.db), QFile::permissions(committed.keptOriginal));
    EXPECT_EQ(filesIn(f.dir.path()), (QStringList{"ServoView.mdb", "ServoView.mdb.jet"}));
    // The same Jet file again: the kept copy already holds it. A different one: the next free name.
    writeFile(f.db, original);
    EXPECT_EQ(convertInPlace(f.db).keptOriginal, f.db + ".jet");
    writeFile(f.db, fixture("installation/CompOld.mdb"));
    EXPECT_EQ(convertInPlace(f.db).keptOriginal, f.db + ".2.jet");
    EXPECT_EQ(readFile(f.db + ".jet"), original);
    EXPECT_EQ(readFile(f.db + ".2.jet"), fixture("installation/CompOld.mdb"));
}

TEST(JetInPlace, RefusesAFileChangedSinceRead)
{
    Folder f;
    platform::JetConversion conversion(f.db);
    ASSERT_TRUE(conversion.ok());
    QFile::remove(f.db);
    writeFile(f.db, fixture("installation/NoPresetDefs.mdb"));
    const QString message = conversion.commit().message;
    EXPECT_TRUE(message.contains("\"" + f.db + "\" cannot be converted: it changed after")) << message.toStdString();
    EXPECT_EQ(readFile(f.db), fixture("installation/NoPresetDefs.mdb"));
    EXPECT_EQ(filesIn(f.dir.path()), QStringList{"ServoView.mdb"});
}

TEST(JetInPlace, RefusesBadFilesUntouched)
{
    const QByteArray indexCodes = fixture("testIndexCodesV1997.mdb");
    QByteArray looping = fixture("test2V2000.mdb");
    looping[133739] = char(0xFA); // a damaged property record in the table list
    const auto headerOnly = [](const char* signature) { // the header page of a Jet 4 file and nothing else
        QByteArray bytes(4 * 4096, '\0');
        bytes.replace(4, 15, signature);
        bytes[0x14] = 1;
        return bytes;
    };
    const struct { const char* name; std::optional<QByteArray> bytes; const char* says; } cases[] = {
        {"missing", std::nullopt, "cannot be found"},
        {"empty", QByteArray(), "is empty"},
        {"truncated-at-a-page", indexCodes.left(100 * 2048), "cannot be converted"},
        {"cut-to-its-header", indexCodes.left(1000), "damaged Jet database"},
        {"only-claims-jet", headerOnly("Standard Jet DB"), "cannot be converted"},
        {"damaged-table-list", looping, "cannot be converted"},
        {"ace", headerOnly("Standard ACE DB"), "(ACE)"},
        {"foreign", QByteArray("[Project]\r\nName=x\r\n"), "neither an SQLite nor a Jet database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("ServoView.mdb");
        if (c.bytes)
            writeFile(path, *c.bytes);
        const auto result = convertInPlace(path);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.message.contains(QLatin1Char('"') + path + QLatin1Char('"'))) << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(QLatin1String(c.says))) << result.message.toStdString();
        EXPECT_EQ(readFile(path), c.bytes.value_or(QByteArray()));
        EXPECT_EQ(filesIn(dir.path()), c.bytes ? QStringList{"ServoView.mdb"} : QStringList());
    }
}

TEST(IsolatedRun, OnlyACleanSuccessSucceeds)
{
    // What the work does before it returns its own reason, and the reason the run gives.
    const struct { const char* name; std::function<void()> act; const char* own; const char* reason; } cases[] = {
        {"success", [] {}, "", ""},
        {"own-reason", [] {}, "table \"x\" cannot be read", "table \"x\" cannot be read"},
        {"complaint-on-stderr", [] { std::fputs("offset 36864 is beyond EOF\nmore\n", stderr); }, "",
         "the reader reported: offset 36864 is beyond EOF"},
        {"killed", [] { ::kill(::getpid(), SIGKILL); }, "", "stopped abnormally (signal 9)"},
        {"exits-early", [] { ::_exit(0); }, "", "stopped abnormally"},
        {"never-ends", [] { std::this_thread::sleep_for(1h); }, "", "did not finish within"},
        {"endless-complaints", [] { for (;;) std::fputs("Warning: unsupported data type 0.\n", stderr); }, "",
         "the reader reported: Warning: unsupported data type 0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto work = [&c] {
            c.act();
            return std::string(c.own);
        };
        const auto started = std::chrono::steady_clock::now();
        const std::string reason = platform::runIsolated(work, 1500ms);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_TRUE(*c.reason ? reason.find(c.reason) != std::string::npos : reason.empty()) << reason;
    }
}
