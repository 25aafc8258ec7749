#pragma once

#include "platform/sqlitedb.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace platform {

// The rows of a table or of a statement's result, with a current record, in the way the
// database procedures walk them:
//
//     Recordset rs = Recordset::table(db, "Source_DEFS");
//     while (!rs.eof()) { use(rs.value("System")); rs.moveNext(); }
//
// The rows are the ones present when the recordset is opened. Field names compare without regard
// to letter case. Values are QVariants: null for an absent value, otherwise what the engine
// stored (qint64, double, QString, QByteArray). Read-only; every failure throws DbError.
class Recordset {
public:
    // Every row of a table in stored order.
    static Recordset table(const Database& db, const QString& name);

    bool eof() const;
    int recordCount() const;
    // Throws DbError 3021 when there is no row.
    void moveFirst();
    // Throws DbError 3021 at the end.
    void moveNext();

    int fieldCount() const;
    QString fieldName(int position) const;
    // Position of a field, -1 when there is none.
    int fieldIndex(const QString& name) const;
    // Field of the current record. Throws 3265 for an unknown field, 3021 without a current record.
    const QVariant& value(int position) const;
    const QVariant& value(const QString& name) const;

private:
    Recordset() = default;
    void load(Statement& statement);
    int checkedPosition(int position) const;

    QStringList m_names;
    std::vector<QVariant> m_cells; // row-major
    int m_rows = 0;
    int m_current = 0;
};

} // namespace platform
