#include "database/records.h"

#include "environment/errors.h"

#include <cmath>

namespace database {

std::vector<std::vector<QVariant>> readRows(platform::Statement& statement, QStringList* columns)
{
    if (columns)
        *columns = statement.columnNames();
    std::vector<std::vector<QVariant>> rows;
    while (statement.step()) {
        std::vector<QVariant>& row = rows.emplace_back();
        for (int c = 0; c < statement.columnCount(); ++c)
            row.push_back(statement.value(c));
    }
    return rows;
}

int columnIndex(const QStringList& columns, const QString& name)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString nocaseKey(QStringView text)
{
    QString key = text.toString();
    for (QChar& c : key) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return key;
}

QString templateReadSql()
{
    return QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kTemplateTable) + QStringLiteral(" ORDER BY ") +
           platform::quoteIdentifier(kColumnId);
}

qint16 toWholeNumber(const QVariant& v)
{
    if (isAbsent(v))
        environment::raise(environment::ErrInvalidNull);
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
            environment::raise(environment::ErrTypeMismatch);
        break;
    }
    default:
        environment::raise(environment::ErrTypeMismatch);
    }
    if (!std::isfinite(number) || std::fabs(number) > 40000)
        environment::raiseOverflow();
    return environment::toInt16(qint64(std::nearbyint(number))); // the default rounding mode: halves to even
}

// The name patterns of Source_DEFS. A failure while reading the rows is not reported: part 1 of
// both systems then generates the template's variable name unchanged.
void readNamePatterns(environment::Handler& h, platform::Database* db, NamingState& naming)
{
    QStringList columns;
    std::vector<std::vector<QVariant>> rows;
    if (!h([&] {
            if (!db)
                throw platform::objectClosed();
            if (!db->hasTableDef(kPatternTable))
                throw platform::noTable(kPatternTable);
            platform::Statement all(*db, QStringLiteral("SELECT * FROM ") + platform::quoteIdentifier(kPatternTable));
            rows = readRows(all, &columns);
        }))
        return;
    const auto field = [&](const std::vector<QVariant>& row, const QString& name) {
        const int at = columnIndex(columns, name);
        if (at < 0)
            throw platform::itemNotFound();
        return row[size_t(at)];
    };
    for (const std::vector<QVariant>& row : rows) {
        for (int i = 0; i <= 1; ++i) {
            try {
                if (field(row, QStringLiteral("System")).toString().toUpper() != kSystemNames[i])
                    continue;
                const int part = environment::checkIndex(toWholeNumber(field(row, QStringLiteral("Part"))), 1, kMaxParts);
                const QVariant name = field(row, QStringLiteral("Var_Name"));
                if (isAbsent(name))
                    environment::raise(environment::ErrInvalidNull);
                naming.VarNamePatterns[i][part] = name.toString();
            } catch (const std::exception&) {
                naming.VarNamePatterns[0][1] = kVarNamePlaceholder;
                naming.VarNamePatterns[1][1] = kVarNamePlaceholder;
            }
        }
    }
}

} // namespace database
