#include "platform/sqlitedb.h"

#include "platform/dbformat.h"

#include "platform/files.h"
#include "platform/sqlitedb_p.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace platform {

using detail::check;
using detail::Connection;

DbError::DbError(int number, QString description)
    : number(number), description(std::move(description)), m_what(this->description.toUtf8())
{
}

namespace detail {

Connection::~Connection()
{
    sqlite3_close_v2(db);
}

void run(sqlite3* db, sqlite3_stmt* stmt)
{
    sqlite3_reset(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        fail(db, rc);
}

void fail(sqlite3* db, int rc, const QString& file)
{
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    // The engine's text names no file; the message says which database failed.
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    const QString named = file.isEmpty() && name ? QString::fromUtf8(name) : file;
    QString description = QString::fromUtf8(message);
    if (!named.isEmpty())
        description += QStringLiteral(" (database file \"%1\")").arg(named);
    throw DbError(DbErrEngineBase + (rc & 0xff), description);
}

void check(sqlite3* db, int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(db, rc);
}

void bindValue(sqlite3* db, sqlite3_stmt* stmt, int position, const QVariant& value)
{
    int rc = SQLITE_OK;
    switch (value.isNull() ? QMetaType::Nullptr : value.typeId()) {
    case QMetaType::Nullptr:
        rc = sqlite3_bind_null(stmt, position);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        rc = sqlite3_bind_int64(stmt, position, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        rc = sqlite3_bind_double(stmt, position, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(stmt, position, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QString text = value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime
                                 ? value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 : value.toString();
        // A null text is stored as the empty text; a lone surrogate, which UTF-8 cannot hold, as "?".
        const QByteArray utf8 = text.toUtf8();
        rc = sqlite3_bind_text64(stmt, position, utf8.isNull() ? "" : utf8.constData(), sqlite3_uint64(utf8.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
    check(db, rc);
}

QVariant columnValue(sqlite3_stmt* stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(stmt, column)));
    }
    default:
        return QVariant();
    }
}

} // namespace detail

// ---- Declared types ------------------------------------------------------------------------

QString declaredType(int type, int size)
{
    switch (type) {
    case dbBoolean:
        return QStringLiteral("BIT");
    case dbByte:
        return QStringLiteral("BYTE");
    case dbInteger:
        return QStringLiteral("SHORT");
    case dbLong:
        return QStringLiteral("LONG");
    case dbCurrency:
        return QStringLiteral("CURRENCY");
    case dbSingle:
        return QStringLiteral("SINGLE");
    case dbDouble:
        return QStringLiteral("DOUBLE");
    case dbDate:
        return QStringLiteral("DATETIME");
    case dbBinary:
        return QStringLiteral("BINARY(%1)").arg(size > 0 ? size : 255);
    case dbText:
        return QStringLiteral("TEXT(%1)").arg(size > 0 ? size : 255);
    case dbLongBinary:
        return QStringLiteral("LONGBINARY");
    case dbMemo:
        return QStringLiteral("LONGTEXT");
    case dbGUID:
        return QStringLiteral("GUID");
    case dbDecimal:
        return QStringLiteral("DECIMAL(18,0)");
    default:
        throw DbError(DbErrInvalidType, QStringLiteral("Invalid field data type."));
    }
}

namespace {

struct TypeWord {
    const char* word;
    int type;
    int size; // -1: the size written in brackets, 255 without
};

constexpr TypeWord kTypeWords[] = {
    {"BIT", dbBoolean, 1},        {"BOOLEAN", dbBoolean, 1},     {"YESNO", dbBoolean, 1},
    {"LOGICAL", dbBoolean, 1},    {"BYTE", dbByte, 1},           {"TINYINT", dbByte, 1},
    {"SHORT", dbInteger, 2},      {"SMALLINT", dbInteger, 2},    {"INTEGER2", dbInteger, 2},
    {"LONG", dbLong, 4},          {"INTEGER", dbLong, 4},        {"INT", dbLong, 4},
    {"INTEGER4", dbLong, 4},      {"COUNTER", dbLong, 4},        {"AUTOINCREMENT", dbLong, 4},
    {"CURRENCY", dbCurrency, 8},  {"MONEY", dbCurrency, 8},      {"SINGLE", dbSingle, 4},
    {"REAL", dbSingle, 4},        {"FLOAT4", dbSingle, 4},       {"DOUBLE", dbDouble, 8},
    {"FLOAT", dbDouble, 8},       {"FLOAT8", dbDouble, 8},       {"DATETIME", dbDate, 8},
    {"DATE", dbDate, 8},          {"TIME", dbDate, 8},           {"TIMESTAMP", dbDate, 8},
    {"BINARY", dbBinary, -1},     {"VARBINARY", dbBinary, -1},   {"TEXT", dbText, -1},
    {"VARCHAR", dbText, -1},      {"CHAR", dbText, -1},          {"NVARCHAR", dbText, -1},
    {"NCHAR", dbText, -1},        {"LONGBINARY", dbLongBinary, 0}, {"OLEOBJECT", dbLongBinary, 0},
    {"BLOB", dbLongBinary, 0},    {"LONGTEXT", dbMemo, 0},       {"MEMO", dbMemo, 0},
    {"NOTE", dbMemo, 0},          {"GUID", dbGUID, 16},          {"UNIQUEIDENTIFIER", dbGUID, 16},
    {"DECIMAL", dbDecimal, 16},   {"NUMERIC", dbDecimal, 16},
};

} // namespace

FieldDef fieldFromDeclared(const QString& name, const QString& declared)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*([A-Za-z][A-Za-z0-9 ]*?)\\s*(?:\\(\\s*(\\d+)\\s*(?:,\\s*\\d+\\s*)?\\))?\\s*$"));
    const QString upper = declared.toUpper();
    const QRegularExpressionMatch m = form.match(upper);
    if (m.hasMatch()) {
        const QString word = m.captured(1);
        for (const TypeWord& t : kTypeWords) {
            if (word == QLatin1String(t.word)) {
                int size = t.size;
                if (size < 0)
                    size = m.captured(2).isEmpty() ? 255 : m.captured(2).toInt();
                return {name, t.type, size};
            }
        }
    }
    // Anything else is placed as SQLite places it (affinity rules, in their order).
    if (upper.contains(QLatin1String("INT")))
        return {name, dbLong, 4};
    if (upper.contains(QLatin1String("CHAR")) || upper.contains(QLatin1String("CLOB")) ||
        upper.contains(QLatin1String("TEXT")))
        return {name, dbMemo, 0};
    if (upper.trimmed().isEmpty() || upper.contains(QLatin1String("BLOB")))
        return {name, dbLongBinary, 0};
    return {name, dbDouble, 8};
}

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// ---- Database ------------------------------------------------------------------------------

Database::Database(const QString& path, Mode mode)
{
    QString resolved = resolvePath(path);
    if (mode == Mode::OpenExisting && (path.isEmpty() || !QFileInfo(resolved).isFile()))
        throw DbError(DbErrFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (mode == Mode::OpenExisting) {
        // A file of another engine is named as such instead of failing on its first statement.
        const DatabaseFormat format = databaseFormat(resolved);
        if (isJet(format))
            throw DbError(DbErrUnrecognisedFormat,
                          QStringLiteral("The database file \"%1\" is a Jet database; it has to be converted first.")
                              .arg(path));
        if (format != DatabaseFormat::Sqlite && format != DatabaseFormat::Empty)
            throw DbError(DbErrUnrecognisedFormat, databaseFormatProblem(path, format));
    }
    sqlite3* handle = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == Mode::CreateIfMissing)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(resolved.toUtf8().constData(), &handle, flags, nullptr);
    auto conn = std::make_shared<Connection>(handle);
    if (rc != SQLITE_OK)
        detail::fail(handle, rc, resolved);
    sqlite3_extended_result_codes(handle, 0);
    // A double-quoted name is always a name: without this SQLite would take a quoted column
    // that does not exist for a text constant and quietly match nothing.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(handle, 2000);
    m_conn = std::move(conn);
    m_path = std::move(resolved);
    // A closed database stays one self-contained file; this also tells a file that is not a
    // database at once.
    execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
}

Database::~Database() = default;
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;

void Database::close()
{
    m_conn.reset();
}

const std::shared_ptr<Connection>& Database::connection() const
{
    if (!m_conn)
        throw objectClosed();
    return m_conn;
}

void Database::execute(const QString& sql)
{
    Statement st(*this, sql);
    st.execute();
}

QStringList Database::tableDefs() const
{
    Statement st(*this, QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'table' AND "
                                       "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    QStringList names;
    while (st.step())
        names << st.value(0).toString();
    return names;
}

bool Database::hasTableDef(const QString& name) const
{
    Statement st(*this, QStringLiteral("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1 "
                                       "COLLATE NOCASE"));
    st.bind(1, name);
    return st.step();
}

TableDef Database::tableDef(const QString& name) const
{
    Statement st(*this, QStringLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    st.bind(1, name);
    TableDef def;
    def.name = name;
    while (st.step())
        def.fields.push_back(fieldFromDeclared(st.value(0).toString(), st.value(1).toString()));
    if (def.fields.empty())
        throw itemNotFound();
    return def;
}

void Database::deleteTableDef(const QString& name)
{
    if (!hasTableDef(name))
        throw itemNotFound();
    execute(QStringLiteral("DROP TABLE ") + quoteIdentifier(name));
}

void Database::appendTableDef(const TableDef& def)
{
    if (hasTableDef(def.name))
        throw DbError(DbErrTableExists, QStringLiteral("Table '%1' already exists.").arg(def.name));
    QStringList columns;
    for (const FieldDef& f : def.fields)
        columns << quoteIdentifier(f.name) + QLatin1Char(' ') + declaredType(f.type, f.size);
    execute(QStringLiteral("CREATE TABLE ") + quoteIdentifier(def.name) + QStringLiteral(" (") +
            columns.join(QStringLiteral(", ")) + QLatin1Char(')'));
}

void Database::renameField(const QString& table, const QString& from, const QString& to)
{
    execute(QStringLiteral("ALTER TABLE ") + quoteIdentifier(table) + QStringLiteral(" RENAME COLUMN ") +
            quoteIdentifier(from) + QStringLiteral(" TO ") + quoteIdentifier(to));
}

// ---- Statement -----------------------------------------------------------------------------

Statement::Statement(const Database& db, const QString& sql) : Statement(db.connection(), sql) {}

Statement::Statement(std::shared_ptr<Connection> conn, const QString& sql) : m_conn(std::move(conn)), m_sql(sql)
{
    const int rc = sqlite3_prepare16_v2(m_conn->db, sql.utf16(), int(sql.size() * 2), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        detail::fail(m_conn->db, rc);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement&& other) noexcept
    : m_conn(std::move(other.m_conn)), m_stmt(std::exchange(other.m_stmt, nullptr)), m_sql(std::move(other.m_sql)),
      m_names(std::move(other.m_names))
{
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_conn = std::move(other.m_conn);
        m_sql = std::move(other.m_sql);
        m_names = std::move(other.m_names);
    }
    return *this;
}

void Statement::bind(int position, const QVariant& value)
{
    detail::bindValue(m_conn->db, m_stmt, position, value);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    detail::fail(m_conn->db, rc);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

void Statement::execute()
{
    reset();
    while (step()) {
    }
    reset();
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

const QStringList& Statement::columnNames() const
{
    if (m_names.isEmpty()) {
        const int count = sqlite3_column_count(m_stmt);
        for (int c = 0; c < count; ++c)
            m_names << QString::fromUtf8(sqlite3_column_name(m_stmt, c));
    }
    return m_names;
}

QVariant Statement::value(int column) const
{
    return detail::columnValue(m_stmt, column);
}

// ---- Transaction ---------------------------------------------------------------------------

Transaction::Transaction(const Database& db) : m_conn(db.connection())
{
    check(m_conn->db, sqlite3_exec(m_conn->db, "BEGIN", nullptr, nullptr, nullptr));
}

Transaction::~Transaction()
{
    if (m_conn && !sqlite3_get_autocommit(m_conn->db))
        sqlite3_exec(m_conn->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    if (!m_conn)
        throw objectClosed();
    auto conn = std::move(m_conn);
    const int rc = sqlite3_exec(conn->db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const DbError error(DbErrEngineBase + (rc & 0xff), QString::fromUtf8(sqlite3_errmsg(conn->db)));
        if (!sqlite3_get_autocommit(conn->db))
            sqlite3_exec(conn->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw error;
    }
}

} // namespace platform
