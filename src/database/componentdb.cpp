#include "database/componentdb.h"

#include "database/records.h"
#include "platform/files.h"

#include <algorithm>

namespace database {

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
        throw platform::objectClosed();
    return *m_db;
}

void ComponentDatabase::readNames()
{
    m_namesRead = true;
    try {
        platform::Statement st(*m_db, QStringLiteral("SELECT rowid, ") + platform::quoteIdentifier(kColumnVarName) +
                                          QStringLiteral(" FROM ") + platform::quoteIdentifier(kDefsTable) +
                                          QStringLiteral(" ORDER BY rowid"));
        while (st.step()) {
            const QVariant name = st.value(1);
            if (name.isNull())
                continue;
            m_byName[nocaseKey(name.toString())].push_back(int(m_records.size()));
            m_records.push_back({st.value(0).toLongLong(), name.toString()});
        }
    } catch (const platform::DbError&) {
        m_lookupFailed = true;
        m_records.clear();
        m_byName.clear();
        throw;
    }
}

void ComponentDatabase::renameRecords(const QString& oldName, const QString& newName)
{
    if (!m_db)
        throw platform::objectClosed();
    if (!m_namesRead)
        readNames();
    const auto found = m_byName.find(nocaseKey(oldName));
    if (found == m_byName.end())
        return;
    // Every record under the old name's key carries that name in some letter case.
    const std::vector<int> renamed = std::move(found.value());
    m_byName.erase(found);
    for (int r : renamed)
        m_records[size_t(r)].name = newName;
    std::vector<int>& target = m_byName[nocaseKey(newName)];
    target.insert(target.end(), renamed.begin(), renamed.end());
}

const QString* ComponentDatabase::currentName(qint64 rowid) const
{
    const auto found = std::lower_bound(m_records.begin(), m_records.end(), rowid,
                                        [](const Record& r, qint64 id) { return r.rowid < id; });
    return found != m_records.end() && found->rowid == rowid ? &found->name : nullptr;
}

void ComponentDatabase::close()
{
    m_byName.clear();
    m_records.clear();
    m_namesRead = false;
    m_lookupFailed = false;
    m_tx.reset();
    m_db.reset();
}

} // namespace database
