#include "platform/recordset.h"

#include "platform/sqlitedb_p.h"

#include <algorithm>

namespace platform {

namespace {

const QVariant kAbsent;

[[noreturn]] void noCurrentRecord()
{
    throw DbError(DbErrNoCurrentRecord, QStringLiteral("No current record."));
}

[[noreturn]] void itemNotFound()
{
    throw DbError(DbErrItemNotFound, QStringLiteral("Item not found in this collection."));
}

} // namespace

Recordset Recordset::table(const Database& db, const QString& name)
{
    if (!db.hasTableDef(name))
        throw DbError(DbErrNoTable, QStringLiteral("The engine cannot find the input table or query '%1'.").arg(name));
    Statement st(db, QStringLiteral("SELECT rowid, * FROM ") + quoteIdentifier(name));
    Recordset rs;
    rs.m_table = name;
    rs.load(st, true);
    return rs;
}

Recordset Recordset::query(Statement& statement, const QString& updatableTable)
{
    Recordset rs;
    rs.m_table = updatableTable;
    rs.load(statement, !updatableTable.isEmpty());
    return rs;
}

Recordset Recordset::rows(QStringList names, std::vector<QVariant> cells)
{
    Recordset rs;
    rs.m_names = std::move(names);
    rs.m_cells = std::move(cells);
    rs.m_rows = rs.m_names.isEmpty() ? 0 : int(rs.m_cells.size() / size_t(rs.m_names.size()));
    rs.m_cells.resize(size_t(rs.m_rows) * size_t(rs.m_names.size()));
    rs.m_buffer.assign(rs.m_names.size(), QVariant());
    rs.m_scratch.resize(rs.m_names.size());
    rs.m_assigned.assign(rs.m_names.size(), false);
    rs.m_open = true;
    return rs;
}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

void Recordset::load(Statement& statement, bool hasRowid)
{
    m_conn = statement.m_conn;
    statement.reset();
    const int first = hasRowid ? 1 : 0;
    const int columns = statement.columnCount();
    m_names = hasRowid ? statement.columnNames().mid(1) : statement.columnNames();
    while (statement.step()) {
        if (hasRowid)
            m_rowids.push_back(statement.int64(0));
        for (int c = first; c < columns; ++c)
            m_cells.push_back(statement.value(c));
        ++m_rows;
    }
    statement.reset();
    m_buffer.assign(m_names.size(), QVariant());
    m_scratch.resize(m_names.size());
    m_assigned.assign(m_names.size(), false);
    m_open = true;
}

void Recordset::checkOpen() const
{
    if (!m_open)
        throw DbError(DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
}

bool Recordset::eof() const
{
    checkOpen();
    return m_current >= m_rows;
}

int Recordset::recordCount() const
{
    checkOpen();
    return m_rows + m_added;
}

void Recordset::moveFirst()
{
    checkOpen();
    if (m_rows == 0)
        noCurrentRecord();
    m_mode = Mode::Browse;
    m_current = 0;
}

void Recordset::moveNext()
{
    checkOpen();
    if (m_current >= m_rows)
        noCurrentRecord();
    m_mode = Mode::Browse;
    ++m_current;
}

int Recordset::fieldCount() const
{
    checkOpen();
    return int(m_names.size());
}

QString Recordset::fieldName(int position) const
{
    return m_names.at(checkedPosition(position));
}

int Recordset::fieldIndex(const QString& name) const
{
    checkOpen();
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int Recordset::checkedPosition(int position) const
{
    checkOpen();
    if (position < 0 || position >= m_names.size())
        itemNotFound();
    return position;
}

int Recordset::namedPosition(const QString& name) const
{
    const int position = fieldIndex(name);
    if (position < 0)
        itemNotFound();
    return position;
}

const QVariant& Recordset::value(int position) const
{
    checkedPosition(position);
    if (m_mode == Mode::Adding && !m_assigned[position])
        return kAbsent;
    if (m_mode != Mode::Browse)
        return m_buffer[position];
    if (m_current >= m_rows)
        noCurrentRecord();
    return m_cells[size_t(m_current) * m_names.size() + position];
}

const QVariant& Recordset::value(const QString& name) const
{
    return value(namedPosition(name));
}

void Recordset::beforeAssigning(int position)
{
    checkedPosition(position);
    if (m_mode == Mode::Browse)
        throw DbError(DbErrUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    m_assigned[position] = true;
}

void Recordset::setValue(int position, const QVariant& value)
{
    beforeAssigning(position);
    m_buffer[position] = value;
}

void Recordset::setValue(int position, QVariant&& value)
{
    beforeAssigning(position);
    m_buffer[position] = std::move(value);
}

void Recordset::setValue(const QString& name, const QVariant& value)
{
    setValue(namedPosition(name), value);
}

void Recordset::addNew()
{
    checkOpen();
    if (m_table.isEmpty())
        throw DbError(DbErrReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    // Fields not assigned read as absent (value()) and are not written (update()), so the
    // buffer keeps its old contents until they are overwritten.
    std::fill(m_assigned.begin(), m_assigned.end(), false);
    m_mode = Mode::Adding;
}

void Recordset::edit()
{
    checkOpen();
    if (m_table.isEmpty())
        throw DbError(DbErrReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    if (m_current >= m_rows)
        noCurrentRecord();
    const size_t row = size_t(m_current) * m_names.size();
    for (int i = 0; i < m_names.size(); ++i)
        m_buffer[i] = m_cells[row + i];
    m_assigned.assign(m_assigned.size(), false);
    m_mode = Mode::Editing;
}

sqlite3_stmt* Recordset::writeStatement(bool insert)
{
    // Records written one after the other mostly assign the same fields.
    if (m_lastStatement && m_lastInsert == insert && m_lastAssigned == m_assigned)
        return m_lastStatement;
    m_lastStatement = writeStatementFor(insert);
    m_lastInsert = insert;
    m_lastAssigned = m_assigned;
    return m_lastStatement;
}

sqlite3_stmt* Recordset::writeStatementFor(bool insert)
{
    auto& cache = insert ? m_inserts : m_updates;
    sqlite3_stmt*& st = cache[m_assigned];
    if (st)
        return st;
    QStringList columns;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_assigned[i])
            columns << quoteIdentifier(m_names.at(i));
    }
    QString sql;
    if (insert) {
        if (columns.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(m_table));
        } else {
            QStringList marks;
            for (int i = 1; i <= columns.size(); ++i)
                marks << QStringLiteral("?%1").arg(i);
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteIdentifier(m_table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
    } else {
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i)
            sets << QStringLiteral("%1 = ?%2").arg(columns.at(i)).arg(i + 1);
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                  .arg(quoteIdentifier(m_table), sets.join(QStringLiteral(", ")))
                  .arg(columns.size() + 1);
    }
    st = m_conn->cached(sql);
    return st;
}

void Recordset::update()
{
    checkOpen();
    if (m_mode == Mode::Browse)
        throw DbError(DbErrUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    const bool insert = m_mode == Mode::Adding;
    const bool anyAssigned = std::find(m_assigned.begin(), m_assigned.end(), true) != m_assigned.end();
    if (!insert && !anyAssigned) {
        m_mode = Mode::Browse;
        return;
    }
    sqlite3_stmt* st = writeStatement(insert);
    int parameter = 0;
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_assigned[i])
            detail::bindValue(m_conn->db, st, ++parameter, m_buffer[i], &m_scratch[i]);
    }
    if (!insert)
        detail::bindValue(m_conn->db, st, ++parameter, QVariant(m_rowids[m_current]));
    detail::run(m_conn->db, st);
    if (insert) {
        ++m_added;
    } else {
        const size_t row = size_t(m_current) * m_names.size();
        for (int i = 0; i < m_names.size(); ++i) {
            if (m_assigned[i])
                m_cells[row + i] = m_buffer[i];
        }
    }
    m_mode = Mode::Browse;
}

void Recordset::cancelUpdate()
{
    checkOpen();
    if (m_mode == Mode::Browse)
        throw DbError(DbErrUpdateWithoutEdit, QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    m_mode = Mode::Browse;
}

void Recordset::close()
{
    m_inserts.clear();
    m_updates.clear();
    m_lastStatement = nullptr;
    m_cells.clear();
    m_rowids.clear();
    m_conn.reset();
    m_open = false;
}

} // namespace platform
