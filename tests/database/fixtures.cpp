#include "fixtures.h"

#include <QFile>

namespace fixtures {

platform::Database makeDatabase(const QString& path, const QStringList& statements)
{
    QFile::remove(path);
    platform::Database db(path, platform::Database::Mode::CreateIfMissing);
    for (const QString& sql : statements)
        db.execute(sql);
    return db;
}

void makePrevious(const QString& path, const QStringList& tuned, const QString& extraColumns)
{
    QStringList sql{u"CREATE TABLE PRESET_DEFS (%1%2)"_s.arg(kTemplateColumns, extraColumns)};
    for (const QString& t : tuned)
        sql << u"INSERT INTO PRESET_DEFS (machine_type, var_name, offset_or_bitno, abs_min, abs_max, min, max, pass) "
               "SELECT column1, column2, column3, column4 - 1, column4 + 100, column4, column4 + 99, 3 "
               "FROM (VALUES (%1))"_s.arg(t);
    makeDatabase(path, sql);
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
    return QString::fromLatin1(read(u"QELcfglog.txt"_s)).split(u"\r\n"_s, Qt::SkipEmptyParts);
}

} // namespace fixtures
