#include "database/componentdb.h"

#include "database/records.h"
#include "platform/files.h"

namespace database {

namespace {
const QString kLookupIndex = QStringLiteral("kalvia_run_var_name");
}

ComponentDatabase::~ComponentDatabase()
{
    close();
}

void ComponentDatabase::open(const QString& path)
{
    close();
    if (path.isEmpty() || !platform::fileExists(path))
        return;
    m_db.emplace(path);
    try {
        m_tx.emplace(*m_db);
    } catch (...) {
        m_db.reset();
        throw;
    }
}

platform::Database& ComponentDatabase::database()
{
    if (!m_db)
        throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
    return *m_db;
}

platform::Recordset ComponentDatabase::recordsNamed(const QString& name)
{
    platform::Database& db = database();
    if (!m_lookup) {
        try {
            db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3 COLLATE NOCASE)")
                           .arg(platform::quoteIdentifier(kLookupIndex), platform::quoteIdentifier(kDefsTable),
                                platform::quoteIdentifier(kColumnVarName)));
            m_lookup.emplace(db, RenameLookupSql());
        } catch (const platform::DbError&) {
            m_lookupFailed = true;
            throw;
        }
    }
    m_lookup->bind(1, name);
    return platform::Recordset::query(*m_lookup, kDefsTable);
}

void ComponentDatabase::commit()
{
    platform::Database& db = database();
    if (m_lookup) {
        m_lookup.reset();
        db.execute(QStringLiteral("DROP INDEX IF EXISTS ") + platform::quoteIdentifier(kLookupIndex));
    }
    if (m_tx)
        m_tx->commit();
    close();
}

void ComponentDatabase::close()
{
    m_lookupFailed = false;
    m_lookup.reset();
    m_tx.reset();
    m_db.reset();
}

} // namespace database
