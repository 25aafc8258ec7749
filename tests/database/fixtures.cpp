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
