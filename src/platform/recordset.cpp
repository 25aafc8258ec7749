#include "platform/recordset.h"

namespace platform {

namespace {

[[noreturn]] void noCurrentRecord()
{
    throw DbError(DbErrNoCurrentRecord, QStringLiteral("No current record."));
}

} // namespace

Recordset Recordset::table(const Database& db, const QString& name)
{
    if (!db.hasTableDef(name))
        throw DbError(DbErrNoTable, QStringLiteral("The engine cannot find the input table or query '%1'.").arg(name));
    Statement st(db, QStringLiteral("SELECT * FROM ") + quoteIdentifier(name));
    Recordset rs;
    rs.load(st);
    return rs;
}

void Recordset::load(Statement& statement)
{
    statement.reset();
    m_names = statement.columnNames();
    while (statement.step()) {
        for (int c = 0; c < m_names.size(); ++c)
            m_cells.push_back(statement.value(c));
        ++m_rows;
    }
    statement.reset();
}

bool Recordset::eof() const
{
    return m_current >= m_rows;
}

int Recordset::recordCount() const
{
    return m_rows;
}

void Recordset::moveFirst()
{
    if (m_rows == 0)
        noCurrentRecord();
    m_current = 0;
}

void Recordset::moveNext()
{
    if (m_current >= m_rows)
        noCurrentRecord();
    ++m_current;
}

int Recordset::fieldCount() const
{
    return int(m_names.size());
}

QString Recordset::fieldName(int position) const
{
    return m_names.at(checkedPosition(position));
}

int Recordset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int Recordset::checkedPosition(int position) const
{
    if (position < 0 || position >= m_names.size())
        throw DbError(DbErrItemNotFound, QStringLiteral("Item not found in this collection."));
    return position;
}

const QVariant& Recordset::value(int position) const
{
    checkedPosition(position);
    if (m_current >= m_rows)
        noCurrentRecord();
    return m_cells[size_t(m_current) * m_names.size() + position];
}

const QVariant& Recordset::value(const QString& name) const
{
    return value(checkedPosition(fieldIndex(name)));
}

} // namespace platform
