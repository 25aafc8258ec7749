#include "fixtures.h"

namespace fixtures {

platform::Database makeDatabase(const QString& path, const QStringList& statements)
{
    platform::Database db(path, platform::Database::Mode::CreateIfMissing);
    for (const QString& sql : statements)
        db.execute(sql);
    return db;
}

QStringList rows(const platform::Database& db, const QString& sql)
{
    platform::Statement st(db, sql);
    QStringList result;
    while (st.step()) {
        QStringList values;
        for (int c = 0; c < st.columnCount(); ++c) {
            const QVariant v = st.value(c);
            values << (v.isNull() ? QStringLiteral("~") : v.toString());
        }
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

QStringList lookupNames(const database::ComponentDatabase& component, const QString& path)
{
    QStringList names;
    platform::Statement st(platform::Database(path), QStringLiteral("SELECT rowid, var_name FROM PRESET_DEFS ORDER BY rowid"));
    while (st.step()) {
        const QString* renamed = component.currentName(st.value(0).toLongLong());
        names << (renamed ? *renamed : st.value(1).toString());
    }
    return names;
}

QStringList SilentInstallation::reports() const
{
    const QString text = QString::fromLatin1(read(QStringLiteral("QELcfglog.txt")));
    return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace fixtures
