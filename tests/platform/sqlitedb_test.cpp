#include "platform/sqlitedb.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using platform::Database;
using platform::DbError;
using platform::FieldDef;
using platform::Statement;
using platform::Transaction;

namespace {

class Engine : public ::testing::Test {
protected:
    QString file(const QString& name = QStringLiteral("a.mdb")) const { return dir.filePath(name); }
    Database create(const QString& name = QStringLiteral("a.mdb")) const
    {
        return Database(file(name), Database::Mode::CreateIfMissing);
    }
    QTemporaryDir dir;
};

// Runs f and returns the number of the DbError it throws, 0 when it throws none.
template <typename F>
int failureNumber(F&& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.number;
    }
    return 0;
}

int count(const Database& db, const QString& sql)
{
    Statement st(db, sql);
    return st.step() ? int(st.value(0).toLongLong()) : -1;
}

} // namespace

TEST(DeclaredTypes, EveryTypeOfTheVocabularyReadsBackAsWritten)
{
    struct Row {
        int type;
        int size;
        const char* declared;
    };
    const Row rows[] = {
        {platform::dbBoolean, 1, "BIT"},      {platform::dbByte, 1, "BYTE"},
        {platform::dbInteger, 2, "SHORT"},    {platform::dbLong, 4, "LONG"},
        {platform::dbCurrency, 8, "CURRENCY"}, {platform::dbSingle, 4, "SINGLE"},
        {platform::dbDouble, 8, "DOUBLE"},    {platform::dbDate, 8, "DATETIME"},
        {platform::dbBinary, 16, "BINARY(16)"}, {platform::dbText, 50, "TEXT(50)"},
        {platform::dbLongBinary, 0, "LONGBINARY"}, {platform::dbMemo, 0, "LONGTEXT"},
        {platform::dbGUID, 16, "GUID"},       {platform::dbDecimal, 16, "DECIMAL(18,0)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.declared);
        EXPECT_EQ(platform::declaredType(r.type, r.size), QLatin1String(r.declared));
        EXPECT_EQ(platform::fieldFromDeclared(QStringLiteral("c"), QLatin1String(r.declared)),
                  (FieldDef{QStringLiteral("c"), r.type, r.size}));
    }
    EXPECT_EQ(failureNumber([] { platform::declaredType(13, 0); }), platform::DbErrInvalidType);
}

TEST(DeclaredTypes, SynonymsAndForeignTypesAreReadAsTheNearestType)
{
    struct Row {
        const char* declared;
        int type;
        int size;
    };
    const Row rows[] = {
        {"smallint", platform::dbInteger, 2},    {"INTEGER", platform::dbLong, 4},
        {"COUNTER", platform::dbLong, 4},        {"FLOAT", platform::dbDouble, 8},
        {"REAL", platform::dbSingle, 4},         {"varchar(40)", platform::dbText, 40},
        {"Text ( 12 )", platform::dbText, 12},   {"TEXT", platform::dbText, 255},
        {"MEMO", platform::dbMemo, 0},           {"BOOLEAN", platform::dbBoolean, 1},
        {"NUMERIC(10,2)", platform::dbDecimal, 16}, {"BIGINT", platform::dbLong, 4},
        {"CLOB", platform::dbMemo, 0},           {"", platform::dbLongBinary, 0},
        {"WHATEVER", platform::dbDouble, 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.declared);
        const FieldDef f = platform::fieldFromDeclared(QStringLiteral("c"), QLatin1String(r.declared));
        EXPECT_EQ(f.type, r.type);
        EXPECT_EQ(f.size, r.size);
    }
}

TEST_F(Engine, TableRebuiltFromAnothersColumnsHasTheirNamesTypesAndSizesButNoKeyIndexOrDefault)
{
    Database db = create();
    db.execute(QStringLiteral(
        "CREATE TABLE Source_PRESET_DEFS (ID INTEGER PRIMARY KEY AUTOINCREMENT, \"machine type\" TEXT(20) NOT NULL "
        "DEFAULT 'x', var_name TEXT(100) UNIQUE, category_id LONG CHECK (category_id > 0), offset_or_bitno SHORT, "
        "isBitArray BIT, note LONGTEXT, abs_min DOUBLE, stamp DATETIME, blob LONGBINARY, b BINARY(8), g GUID, "
        "c CURRENCY, s SINGLE, y BYTE, d DECIMAL(18,0))"));
    db.execute(QStringLiteral("CREATE INDEX ix ON Source_PRESET_DEFS(offset_or_bitno)"));

    platform::TableDef def = db.tableDef(QStringLiteral("Source_PRESET_DEFS"));
    def.name = QStringLiteral("PRESET_DEFS");
    db.appendTableDef(def);

    // SQLite's own tables (here the auto-number counter) are not table definitions.
    EXPECT_EQ(db.tableDefs(), (QStringList{QStringLiteral("Source_PRESET_DEFS"), QStringLiteral("PRESET_DEFS")}));
    const platform::TableDef rebuilt = db.tableDef(QStringLiteral("PRESET_DEFS"));
    EXPECT_EQ(rebuilt.fields, def.fields);
    ASSERT_EQ(rebuilt.fields.size(), 16u);
    // The auto-number column is a plain number column now.
    EXPECT_EQ(rebuilt.fields[0], (FieldDef{QStringLiteral("ID"), platform::dbLong, 4}));
    EXPECT_EQ(rebuilt.fields[1], (FieldDef{QStringLiteral("machine type"), platform::dbText, 20}));

    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE tbl_name = 'PRESET_DEFS' AND "
                                       "type = 'index'")),
              0);
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM pragma_table_info('PRESET_DEFS') WHERE pk <> 0 OR "
                                       "\"notnull\" <> 0 OR dflt_value IS NOT NULL")),
              0);
    // No key, no rule, no default: a row of nulls and a repeated name go in, and ID is not numbered.
    db.execute(QStringLiteral("INSERT INTO PRESET_DEFS (var_name, category_id) VALUES ('v', -1), ('v', -1)"));
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM PRESET_DEFS WHERE ID IS NULL AND \"machine type\" IS "
                                       "NULL")),
              2);
}

TEST_F(Engine, TableDefinitionsFailAsTheEngineDoes)
{
    Database db = create();
    db.execute(QStringLiteral("CREATE TABLE t (a LONG)"));
    EXPECT_EQ(failureNumber([&] { db.tableDef(QStringLiteral("missing")); }), platform::DbErrItemNotFound);
    EXPECT_EQ(failureNumber([&] { db.deleteTableDef(QStringLiteral("missing")); }), platform::DbErrItemNotFound);
    EXPECT_EQ(failureNumber([&] { db.appendTableDef({QStringLiteral("T"), {{QStringLiteral("b"), 4, 4}}}); }),
              platform::DbErrTableExists);
    EXPECT_TRUE(db.hasTableDef(QStringLiteral("T")));
    db.deleteTableDef(QStringLiteral("t"));
    EXPECT_TRUE(db.tableDefs().isEmpty());
}

TEST_F(Engine, AssigningAColumnNameRenamesItInTheStoredTable)
{
    {
        Database db = create();
        db.execute(QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, CATEGORIE LONG, category TEXT(5))"));
        db.execute(QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 370, 'a')"));
        db.renameField(QStringLiteral("PRESET_DEFS"), QStringLiteral("CATEGORIE"), QStringLiteral("category_id"));
        // A name the table already has is refused and the old column stays.
        EXPECT_NE(failureNumber([&] {
                      db.renameField(QStringLiteral("PRESET_DEFS"), QStringLiteral("category"),
                                     QStringLiteral("CATEGORY_ID"));
                  }),
                  0);
    }
    const Database again(file());
    const platform::TableDef def = again.tableDef(QStringLiteral("PRESET_DEFS"));
    ASSERT_EQ(def.fields.size(), 3u);
    EXPECT_EQ(def.fields[1], (FieldDef{QStringLiteral("category_id"), platform::dbLong, 4}));
    EXPECT_EQ(def.fields[2].name, QStringLiteral("category"));
    Statement renamed(again, QStringLiteral("SELECT CATEGORY_ID FROM PRESET_DEFS"));
    ASSERT_TRUE(renamed.step());
    EXPECT_EQ(renamed.value(0), QVariant(qint64(370)));
}

TEST_F(Engine, ValuesOfEveryTypeRoundTripWithNullKeptApartFromEmpty)
{
    const QByteArray bytes("\0\1\2\xff", 4);
    const QList<QVariant> values = {QVariant(qint64(-1)),        QVariant(qint64(255)),
                                    QVariant(qint64(-32768)),    QVariant(qint64(2147483647)),
                                    QVariant(12.3456),           QVariant(0.5),
                                    QVariant(1e300),             QVariant(QStringLiteral("2024-02-29 23:59:59")),
                                    QVariant(bytes),             QVariant(QStringLiteral("007")),
                                    QVariant(bytes),             QVariant(QStringLiteral("Grüße ###Servo \"x\"")),
                                    QVariant(QStringLiteral("{0000-1}")), QVariant(qint64(7))};
    {
        Database db = create();
        db.execute(QStringLiteral("CREATE TABLE t (a BIT, b BYTE, c SHORT, d LONG, e CURRENCY, f SINGLE, g DOUBLE, "
                                  "h DATETIME, i BINARY(4), j TEXT(10), k LONGBINARY, l LONGTEXT, m GUID, n "
                                  "DECIMAL(18,0))"));
        Transaction tx(db);
        QStringList marks;
        for (int i = 1; i <= values.size(); ++i)
            marks << QStringLiteral("?%1").arg(i);
        Statement insert(db, QStringLiteral("INSERT INTO t VALUES (%1)").arg(marks.join(QLatin1Char(','))));
        for (int i = 0; i < values.size(); ++i)
            insert.bind(i + 1, values[i]);
        insert.execute();
        db.execute(QStringLiteral("INSERT INTO t DEFAULT VALUES")); // every field absent
        Statement empty(db, QStringLiteral("INSERT INTO t (j, l) VALUES (?1, ?2)"));
        empty.bind(1, QString(""));
        empty.bind(2, QString(""));
        empty.execute();
        tx.commit();
    }
    const Database db(file());
    Statement rs(db, QStringLiteral("SELECT * FROM t ORDER BY rowid"));
    ASSERT_TRUE(rs.step());
    for (int i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rs.value(i), values[i]);
        EXPECT_EQ(rs.value(i).typeId(), values[i].typeId());
    }
    ASSERT_TRUE(rs.step());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_TRUE(rs.value(i).isNull()) << i;
    ASSERT_TRUE(rs.step());
    EXPECT_FALSE(rs.value(9).isNull());
    EXPECT_EQ(rs.value(9).toString(), QString());
    EXPECT_FALSE(rs.value(11).isNull());
    EXPECT_FALSE(rs.step());
}

TEST_F(Engine, TextKeepsEveryCharacterThroughBindingAndReading)
{
    Database db = create();
    db.execute(QStringLiteral("CREATE TABLE t (ID LONG, s LONGTEXT)"));
    const QString lone = QString(QChar(0xd800)) + QStringLiteral("x");
    const QStringList texts = {QStringLiteral("plain"), QStringLiteral("Grüße ß €"), QString::fromUtf8("Servo \xF0\x9F\x94\xA7"),
                               QStringLiteral("a\"b'c"), QString(), QStringLiteral("")};
    Statement insert(db, QStringLiteral("INSERT INTO t VALUES (?1, ?2)"));
    for (int i = 0; i < texts.size(); ++i) {
        insert.bind(1, i);
        insert.bind(2, texts[i]);
        insert.execute();
    }
    insert.bind(1, 99);
    insert.bind(2, lone); // a lone surrogate cannot be stored: it becomes "?"
    insert.execute();
    Statement read(db, QStringLiteral("SELECT s FROM t ORDER BY ID"));
    QStringList back;
    while (read.step())
        back << read.value(0).toString();
    EXPECT_EQ(back.mid(0, texts.size()), texts);
    EXPECT_EQ(back.last(), QStringLiteral("?x"));
}

TEST_F(Engine, MisuseFailsWithTheEnginesNumbers)
{
    Database db = create();
    db.execute(QStringLiteral("CREATE TABLE t (a LONG)"));
    db.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
    EXPECT_EQ(failureNumber([&] { Statement(db, QStringLiteral("SELECT nope FROM t")); }), 3001);
    // A quoted name that is no column is an error, not a text constant.
    EXPECT_EQ(failureNumber([&] { Statement(db, QStringLiteral("SELECT a FROM t WHERE \"nope\" = 'nope'")); }),
              3001);
    db.close();
    EXPECT_EQ(failureNumber([&] { db.tableDefs(); }), platform::DbErrObjectClosed);
}

TEST_F(Engine, OpeningFindsTheFileInAnyLetterCaseAndRefusesWhatIsNoDatabase)
{
    create(QStringLiteral("Servo.mdb")).execute(QStringLiteral("CREATE TABLE t (a LONG)"));
    EXPECT_TRUE(Database(file(QStringLiteral("SERVO.MDB"))).hasTableDef(QStringLiteral("t")));
    EXPECT_EQ(failureNumber([&] { Database(file(QStringLiteral("none.mdb"))); }), platform::DbErrFileNotFound);
    EXPECT_EQ(failureNumber([&] { Database none{QString()}; }), platform::DbErrFileNotFound);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("none.mdb"))));

    // Files of another engine or of none are refused naming the file, and stay as they were.
    QByteArray jet3(4096, '\0');
    jet3.replace(4, 15, "Standard Jet DB");
    QByteArray ace = jet3;
    ace.replace(4, 15, "Standard ACE DB");
    const struct {
        const char* name;
        QByteArray bytes;
        const char* says;
    } refused[] = {
        {"other.mdb", QByteArray(4096, 'J'), "neither an SQLite nor a Jet database"},
        {"jet.mdb", jet3, "Jet database"},
        {"ace.accdb", ace, "ACE"},
    };
    for (const auto& r : refused) {
        const QString path = file(QLatin1String(r.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r.bytes);
        f.close();
        try {
            Database db(path);
            ADD_FAILURE() << r.name << " opened";
        } catch (const platform::DbError& e) {
            EXPECT_EQ(e.number, platform::DbErrUnrecognisedFormat) << r.name;
            EXPECT_TRUE(e.description.contains(path)) << e.description.toStdString();
            EXPECT_TRUE(e.description.contains(QLatin1String(r.says))) << e.description.toStdString();
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), r.bytes) << r.name;
    }
}

TEST_F(Engine, TransactionRollsBackUnlessCommittedAndLeavesNoJournalBehind)
{
    {
        Database db = create();
        db.execute(QStringLiteral("PRAGMA journal_mode=WAL"));
        db.execute(QStringLiteral("CREATE TABLE t (a LONG)"));
    }
    Database db(file());
    Statement mode(db, QStringLiteral("PRAGMA journal_mode"));
    ASSERT_TRUE(mode.step());
    EXPECT_EQ(mode.value(0), QVariant(QStringLiteral("delete")));
    mode.reset();
    {
        Transaction tx(db);
        db.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
        // Nothing is visible to another connection before the commit.
        EXPECT_EQ(count(Database(file()), QStringLiteral("SELECT count(*) FROM t")), 0);
    }
    EXPECT_EQ(count(db, QStringLiteral("SELECT count(*) FROM t")), 0);
    {
        Transaction tx(db);
        EXPECT_NE(failureNumber([&] { Transaction nested(db); }), 0);
        db.execute(QStringLiteral("INSERT INTO t VALUES (2)"));
        tx.commit();
        EXPECT_EQ(failureNumber([&] { tx.commit(); }), platform::DbErrObjectClosed);
    }
    EXPECT_EQ(count(Database(file()), QStringLiteral("SELECT count(*) FROM t")), 1);
    EXPECT_FALSE(QFile::exists(file() + QStringLiteral("-journal")));
    EXPECT_FALSE(QFile::exists(file() + QStringLiteral("-wal")));
}

// ---- Writing and reading the files ---------------------------------------------------------

namespace {

// What a plain SQLite connection, outside this program's file layer, finds in the file: the
// integrity check's verdict, then the rows of t as "id:length".
QStringList seenByPlainConnection(const QString& path)
{
    sqlite3* raw = nullptr;
    QStringList seen;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, "unix") != SQLITE_OK) {
        sqlite3_close(raw);
        return {QStringLiteral("cannot open")};
    }
    for (const char* sql : {"PRAGMA integrity_check", "SELECT id || ':' || length(body) FROM t ORDER BY id"}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(raw, sql, -1, &st, nullptr) != SQLITE_OK) {
            seen << QString::fromUtf8(sqlite3_errmsg(raw));
            continue;
        }
        while (sqlite3_step(st) == SQLITE_ROW)
            seen << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(raw);
    return seen;
}

// Rows 1..n of t with bodies of `length` characters, in one transaction.
void fill(Database& db, int from, int to, int length)
{
    Transaction tx(db);
    Statement insert(db, QStringLiteral("INSERT INTO t VALUES (?1, ?2)"));
    for (int id = from; id <= to; ++id) {
        insert.bind(1, id);
        insert.bind(2, QString(length, QChar(u'a' + id % 26)));
        insert.execute();
    }
    tx.commit();
}

QStringList expectedRows(int rows, int length)
{
    QStringList seen{QStringLiteral("ok")};
    for (int id = 1; id <= rows; ++id)
        seen << QStringLiteral("%1:%2").arg(id).arg(length);
    return seen;
}

} // namespace

TEST_F(Engine, WriteThatTheSystemRefusesFailsTheCommitAndLeavesTheFileAsItWas)
{
    {
        Database db = create();
        db.execute(QStringLiteral("CREATE TABLE t (id LONG, body TEXT(255))"));
        fill(db, 1, 100, 50);
    }
    const qint64 before = QFileInfo(file()).size();
    // Files may not grow beyond 256 KiB from here on; the refused write reports instead of
    // raising a signal.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    int failure = 0;
    {
        Database db(file());
        failure = failureNumber([&] { fill(db, 101, 5000, 200); });
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(failure, 0);
    EXPECT_EQ(QFileInfo(file()).size(), before);
    EXPECT_EQ(seenByPlainConnection(file()), expectedRows(100, 50));
}
