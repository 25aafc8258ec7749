#include "database/componentdb.h"

#include "database/records.h"
#include "platform/files.h"

#include <algorithm>

namespace database {

quint32 ComponentDatabase::nocaseHash(QStringView name)
{
    const quint64 h = database::nocaseHash(name);
    return quint32(h >> 32) ^ quint32(h);
}

ComponentDatabase::Slot* ComponentDatabase::findSlot(quint32 key)
{
    if (m_slots.empty())
        return nullptr;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(key) & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.head == kUnused)
            return nullptr;
        if (slot.key == key)
            return &slot;
    }
}

void ComponentDatabase::reserveSlots(size_t keys)
{
    size_t size = 1024;
    while (size < keys * 2)
        size *= 2;
    if (size <= m_slots.size())
        return;
    auto old = std::move(m_slots);
    m_slots.assign(size, Slot{0, kUnused});
    m_slotsUsed = 0;
    for (const Slot& slot : old) {
        if (slot.head != kUnused)
            slotFor(slot.key).head = slot.head;
    }
}

ComponentDatabase::Slot& ComponentDatabase::slotFor(quint32 key)
{
    if ((m_slotsUsed + 1) * 2 > m_slots.size())
        reserveSlots(m_slotsUsed + 1);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(key) & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.head == kUnused) {
            slot = Slot{key, kEmptyChain};
            ++m_slotsUsed;
            return slot;
        }
        if (slot.key == key)
            return slot;
    }
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

ComponentDatabase::NameList ComponentDatabase::readNameList(const platform::Database& db)
{
    NameList names;
    names.reserve(ExpectedDefsRecords(db));
    platform::Statement st(db, RenameLookupSql());
    while (st.step()) {
        QString name = st.text(1);
        if (!name.isNull())
            names.emplace_back(st.int64(0), std::move(name));
    }
    return names;
}

void ComponentDatabase::readNames()
{
    m_namesRead = true;
    try {
        NameList names = readNameList(*m_db);
        m_records.reserve(names.size());
        // Room for every name and a new name for each, so renaming never regrows the table.
        reserveSlots(names.size() * 2);
        for (auto& [rowid, name] : names) {
            const int index = int(m_records.size());
            m_records.push_back({rowid, std::move(name), -1, false});
            Slot& slot = slotFor(nocaseHash(m_records.back().name));
            m_records.back().next = slot.head;
            slot.head = index;
        }
    } catch (const platform::DbError&) {
        m_lookupFailed = true;
        m_records.clear();
        m_slots.clear();
        m_slotsUsed = 0;
        throw;
    }
}

void ComponentDatabase::renameRecords(const QString& oldName, const QString& newName)
{
    if (!m_db)
        throw platform::DbError(platform::DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
    if (!m_namesRead)
        readNames();
    const quint32 oldKey = nocaseHash(oldName);
    Slot* hit = findSlot(oldKey);
    if (!hit || hit->head < 0)
        return;
    const quint32 newKey = nocaseHash(newName);
    // Records of this name leave the chain of their hash when the new name has another one;
    // records that only share the hash stay.
    int moved = -1;
    int last = -1;
    int* link = &hit->head;
    while (*link >= 0) {
        Record& r = m_records[*link];
        if (!database::nocaseEqual(r.name, oldName)) {
            link = &r.next;
            continue;
        }
        if (r.name != newName) {
            r.name = newName;
            r.changed = true;
        }
        if (newKey == oldKey) {
            link = &r.next;
            continue;
        }
        const int index = *link;
        *link = r.next;
        r.next = moved;
        if (moved < 0)
            last = index;
        moved = index;
    }
    if (moved < 0)
        return;
    // The moved records go in front of the new key's chain (the order within a chain does not
    // matter: the writes walk the records in table order).
    Slot& target = slotFor(newKey); // may move the slots: hit is not used after this
    m_records[last].next = target.head;
    target.head = moved;
}

const ComponentDatabase::Record* ComponentDatabase::recordOf(qint64 rowid) const
{
    // The records were read in rowid order.
    const auto found = std::lower_bound(m_records.begin(), m_records.end(), rowid,
                                        [](const Record& r, qint64 id) { return r.rowid < id; });
    return found != m_records.end() && found->rowid == rowid ? &*found : nullptr;
}

const QString* ComponentDatabase::currentName(qint64 rowid) const
{
    const Record* r = recordOf(rowid);
    return r ? &r->name : nullptr;
}

const QString* ComponentDatabase::renamedName(qint64 rowid) const
{
    const Record* r = recordOf(rowid);
    return r && r->changed ? &r->name : nullptr;
}

void ComponentDatabase::close()
{
    m_slots.clear();
    m_slotsUsed = 0;
    m_records.clear();
    m_namesRead = false;
    m_lookupFailed = false;
    m_tx.reset();
    m_db.reset();
}

} // namespace database
