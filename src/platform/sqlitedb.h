#pragma once

// The database engine of the closing run: SQLite files that keep the names and the column
// vocabulary of the original engine's databases. Only what the database procedures use: open a
// file, table definitions with their columns' name, type and size, prepared statements,
// and transactions.

#include "platform/dberror.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace platform {

namespace detail {
struct Connection;
}

// Column type codes of the original engine's object model.
enum FieldType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
    dbGUID = 15,
    dbDecimal = 20,
};

// A column as a table definition gives it: name, type code and size (characters for text, bytes
// otherwise, 0 for long text and long binary).
struct FieldDef {
    QString name;
    int type = dbText;
    int size = 255;

    bool operator==(const FieldDef&) const = default;
};

struct TableDef {
    QString name;
    std::vector<FieldDef> fields;
};

// The declared type a column of the given type code and size is created with: BIT, BYTE, SHORT,
// LONG, CURRENCY, SINGLE, DOUBLE, DATETIME, BINARY(n), TEXT(n), LONGBINARY, LONGTEXT, GUID,
// DECIMAL(18,0). Throws DbError 3259 for a code outside that list.
QString declaredType(int type, int size);

// Reads a declared type back as type code and size. Besides the vocabulary above it knows the
// common synonyms (SMALLINT, INTEGER, INT, COUNTER, FLOAT, REAL, VARCHAR(n), CHAR(n), MEMO,
// BOOLEAN, NUMERIC(p,s), BLOB, ...); anything else is placed by SQLite's affinity rules.
FieldDef fieldFromDeclared(const QString& name, const QString& declared);

// An identifier in double quotes, inner quotes doubled.
QString quoteIdentifier(const QString& name);

// One open database file. Movable, not copyable; closing happens in the destructor at the
// latest. Statements made from it keep the connection alive until they go, so
// close them before the file is copied or replaced.
class Database {
public:
    enum class Mode { OpenExisting, CreateIfMissing };

    // Opens the file (its name resolved without regard to letter case) read-write, journal mode
    // DELETE. Throws DbError 3024 when it does not exist (and Mode is OpenExisting), and the
    // engine's error when it is not a database.
    explicit Database(const QString& path, Mode mode = Mode::OpenExisting);
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const { return m_path; }
    bool isOpen() const { return m_conn != nullptr; }
    // Releases this object's hold on the connection. Further calls throw DbError 3420.
    void close();

    // Names of the tables as stored, in creation order (SQLite's own tables left out).
    QStringList tableDefs() const;
    // True when a table of that name exists; names compare without regard to letter case, as
    // the engine's do.
    bool hasTableDef(const QString& name) const;
    // Columns of a table in table order. Throws DbError 3265 when there is no such table.
    TableDef tableDef(const QString& name) const;
    // Drops a table. Throws DbError 3265 when there is none.
    void deleteTableDef(const QString& name);
    // Creates a table with the given columns in order: no key, no index, no default, no rule.
    // Throws DbError 3010 when the table exists.
    void appendTableDef(const TableDef& def);
    // Renames a column in the stored table (the engine refuses a name the table already has).
    void renameField(const QString& table, const QString& from, const QString& to);

    // Runs one statement without parameters and without result rows (DDL, pragmas).
    void execute(const QString& sql);

private:
    friend class Statement;
    friend class Transaction;
    const std::shared_ptr<detail::Connection>& connection() const;

    QString m_path;
    std::shared_ptr<detail::Connection> m_conn;
};

// A prepared statement with parameters bound by position (1-based). Reused by reset().
class Statement {
public:
    Statement(const Database& db, const QString& sql);
    ~Statement();
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a copy of a value: a null QVariant as NULL, numbers as numbers, a QByteArray as BLOB,
    // a date as "yyyy-MM-dd HH:mm:ss" text, everything else as text.
    void bind(int position, const QVariant& value);
    // Moves to the next result row; false when there is none left.
    bool step();
    // Back to before the first row; bindings are kept.
    void reset();
    // reset(), then steps through to the end.
    void execute();

    int columnCount() const;
    const QStringList& columnNames() const;
    // Value of a column of the current row: null for NULL, qint64, double, QString or QByteArray.
    QVariant value(int column) const;

    const QString& sql() const { return m_sql; }

private:
    Statement(std::shared_ptr<detail::Connection> conn, const QString& sql);

    std::shared_ptr<detail::Connection> m_conn;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
    mutable QStringList m_names;
};

// Begins a transaction; rolls it back on destruction unless commit() ran. The destructor never
// throws. One transaction per connection at a time.
class Transaction {
public:
    explicit Transaction(const Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Throws the engine's error when the commit fails; the transaction is then rolled back.
    void commit();
    bool isActive() const { return m_conn != nullptr; }

private:
    std::shared_ptr<detail::Connection> m_conn;
};

} // namespace platform
