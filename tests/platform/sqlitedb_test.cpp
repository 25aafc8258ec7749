#include "support/installation.h"
#include "support/sql.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>


using namespace platform;

namespace {

// The DbError that f throws as its number and description, empty when it throws none.
template <typename F>
QString failure(F&& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return QString::number(e.number) + ' ' + e.description;
    }
    return {};
}

// The first row of a query, as text.
QString firstValue(const Database& db, const QString& sql)
{
    return support::rows(db, sql).value(0, "<no row>");
}

class Engine : public ::testing::Test {
protected:
    QString file(const char* name = "a.mdb") const { return dir.filePath(QLatin1String(name)); }
    Database create() const { return Database(file(), Database::Mode::CreateIfMissing); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Engine, EveryTypeRoundTripsWithNullApartFromEmpty)
{
    const TableDef def{"t", {{"a", dbBoolean, 1}, {"b", dbByte, 1}, {"c", dbInteger, 2}, {"d", dbLong, 4},
                             {"e", dbCurrency, 8}, {"f", dbSingle, 4}, {"g", dbDouble, 8}, {"h", dbDate, 8},
                             {"i", dbBinary, 4}, {"j", dbText, 10}, {"k", dbLongBinary, 0}, {"l", dbMemo, 0},
                             {"m", dbGUID, 16}, {"n", dbDecimal, 16}}};
    const QByteArray bytes("\0\1\2\xff", 4);
    // "007" in the long text: a column with numeric affinity would make it 7.
    const QList<QVariant> values = {qint64(-1), qint64(255), qint64(-32768), qint64(2147483647), 12.3456, 0.5, 1e300,
                                    "2024-02-29 23:59:59", bytes, QString::fromUtf8("Grüße \xF0\x9F\x94\xA7"),
                                    bytes, "007", "{0000-1}", qint64(7)};
    Database db = create();
    db.appendTableDef(def);
    Statement insert(db, "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (int i = 0; i < values.size(); ++i)
        insert.bind(i + 1, values[i]);
    insert.execute();
    db.execute("INSERT INTO t DEFAULT VALUES"); // every field absent
    Statement empty(db, "INSERT INTO t (j, l) VALUES (?1, ?1)");
    empty.bind(1, "");
    empty.execute();
    EXPECT_EQ(db.tableDef("T").fields, def.fields);
    Statement rs(db, "SELECT * FROM t ORDER BY rowid");
    ASSERT_TRUE(rs.step());
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(rs.value(i), values[i]) << i;
        EXPECT_EQ(rs.value(i).typeId(), values[i].typeId()) << i;
    }
    ASSERT_TRUE(rs.step());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_TRUE(rs.value(i).isNull()) << i;
    ASSERT_TRUE(rs.step());
    EXPECT_EQ(rs.value(9), QVariant(QString()));
    EXPECT_EQ(rs.value(11), QVariant(QString()));
}

TEST_F(Engine, OpensAnyLetterCaseAndRefusesNonDatabases)
{
    Database(file("Servo.mdb"), Database::Mode::CreateIfMissing).execute("CREATE TABLE t (a LONG)");
    EXPECT_TRUE(Database(file("SERVO.MDB")).hasTableDef("T"));
    EXPECT_TRUE(failure([&] { Database(file("none.mdb")); }).startsWith(QString::number(DbErrFileNotFound)));
    EXPECT_FALSE(QFile::exists(file("none.mdb")));
    // A file of no database engine is refused naming the file, and stays as it was.
    const QString other = file("other.mdb");
    support::writeFile(other, QByteArray(4096, 'J'));
    EXPECT_EQ(failure([&] { Database{other}; }),
              "3343 The file \"" + other + "\" is neither an SQLite nor a Jet database.");
    EXPECT_EQ(support::readFile(other), QByteArray(4096, 'J'));
}

TEST_F(Engine, UncommittedTransactionRollsBack)
{
    Database db = create();
    db.execute("CREATE TABLE t (a LONG)");
    {
        Transaction tx(db);
        db.execute("INSERT INTO t VALUES (1)");
        EXPECT_EQ(firstValue(Database(file()), "SELECT count(*) FROM t"), "0");
    }
    EXPECT_EQ(firstValue(db, "SELECT count(*) FROM t"), "0");
    Transaction tx(db);
    db.execute("INSERT INTO t VALUES (2)");
    tx.commit();
    EXPECT_EQ(firstValue(Database(file()), "SELECT group_concat(a) FROM t"), "2");
    EXPECT_FALSE(QFile::exists(file("a.mdb-journal")));
}

TEST_F(Engine, RefusedWriteLeavesTheFile)
{
    Database db = create();
    db.execute("CREATE TABLE t (id LONG, body TEXT(255))");
    const auto fill = [&](int rows, int length) {
        return failure([&] {
            Transaction tx(db);
            db.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                      "INSERT INTO t SELECT i, substr(hex(zeroblob(%2)), 1, %2) FROM n")
                           .arg(rows).arg(length));
            tx.commit();
        });
    };
    ASSERT_EQ(fill(100, 50), "");
    const qint64 before = QFileInfo(file()).size();
    // Files may not grow beyond 256 KiB for a while; the refused write reports instead of raising a signal.
    QString refused;
    support::withFileSizeLimit(256 * 1024, [&] { refused = fill(5000, 200); });
    EXPECT_NE(refused, "");
    db.close();
    EXPECT_EQ(QFileInfo(file()).size(), before);
    const Database again(file());
    EXPECT_EQ(firstValue(again, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(firstValue(again, "SELECT format('%d %d %d', count(*), min(length(body)), max(length(body))) FROM t"),
              "100 50 50");
}
