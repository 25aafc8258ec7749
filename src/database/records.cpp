#include "database/records.h"

#include <cmath>

namespace database {

QString TemplateReadSql()
{
    return QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kTemplateTable) + QStringLiteral(" ORDER BY ") +
           platform::quoteIdentifier(kColumnId);
}

QString RenameLookupSql()
{
    return QStringLiteral("SELECT rowid, ") + platform::quoteIdentifier(kColumnVarName) + QStringLiteral(" FROM ") +
           platform::quoteIdentifier(kDefsTable) + QStringLiteral(" ORDER BY rowid");
}

QString TakeoverMatchSql(const QStringList& AdditionalFields)
{
    static const char* const standard[] = {"ID",        "machine_type", "type",   "var_name", "category_id",
                                           "isBitArray", "offset_or_bitno", "text", "page_name", "abs_min",
                                           "abs_max",   "min",          "max",    "pass"};
    QStringList columns{QStringLiteral("rowid")};
    for (const char* c : standard)
        columns << platform::quoteIdentifier(QLatin1String(c));
    for (qsizetype i = 1; i < AdditionalFields.size(); ++i)
        columns << platform::quoteIdentifier(AdditionalFields.at(i));
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
           platform::quoteIdentifier(kDefsTable) +
           QStringLiteral(" WHERE \"machine_type\" = ?1 COLLATE NOCASE AND \"var_name\" = ?2 COLLATE NOCASE AND "
                          "\"offset_or_bitno\" = ?3");
}

void CopyTableDefinition(platform::Database& db, const QString& from, const QString& to)
{
    if (db.tableDefs().contains(to))
        db.deleteTableDef(to);
    platform::TableDef def = db.tableDef(from);
    def.name = to;
    db.appendTableDef(def);
}

qint16 toWholeNumber(const QVariant& v)
{
    if (isAbsent(v))
        environment::raise(94, QStringLiteral("Invalid use of Null"));
    double number = 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return environment::toInt16(v.toLongLong());
    case QMetaType::Bool:
        return v.toBool() ? -1 : 0;
    case QMetaType::Double:
    case QMetaType::Float:
        number = v.toDouble();
        break;
    case QMetaType::QString: {
        bool ok = false;
        number = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            environment::raise(environment::ErrTypeMismatch, QStringLiteral("Type mismatch"));
        break;
    }
    default:
        environment::raise(environment::ErrTypeMismatch, QStringLiteral("Type mismatch"));
    }
    if (!std::isfinite(number) || std::fabs(number) > 40000)
        environment::raiseOverflow();
    return environment::toInt16(qint64(std::nearbyint(number))); // the default rounding mode: halves to even
}

} // namespace database
