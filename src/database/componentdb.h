#pragma once

#include "platform/sqlitedb.h"

#include <QStringView>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace database {

// The previous database as the closing run holds it: opened once for the whole run inside one
// transaction that is never committed (the file is replaced at the end of the run, and a run that
// ends early leaves it as it was). The renames of the variable names are kept in a lookup the
// takeover reads them from. Without a file at the path it stays closed and the procedures that
// use it do nothing.
class ComponentDatabase {
public:
    ComponentDatabase() = default;
    ~ComponentDatabase();
    ComponentDatabase(const ComponentDatabase&) = delete;
    ComponentDatabase& operator=(const ComponentDatabase&) = delete;

    // Opens the file at path, when there is one, and begins the run's transaction. Throws
    // platform::DbError when the file exists but cannot be opened as a database.
    void open(const QString& path);
    bool isOpen() const { return m_db.has_value(); }
    // The open database (without the renames). Throws platform::DbError 3420 when closed.
    platform::Database& database();

    // Gives the PRESET_DEFS records whose var_name is oldName, compared as the engine compares
    // text without regard to letter case, the name newName; a record that carries newName
    // exactly already is left alone. The names are looked up in a map of the table's names read
    // once; the table itself is not changed. Throws platform::DbError when the table cannot be
    // read.
    void renameRecords(const QString& oldName, const QString& newName);
    // The name of the PRESET_DEFS record with this rowid as the renames left it; none when the
    // names were not read or the record has no name.
    const QString* currentName(qint64 rowid) const;
    // The same, but only for a record the run renamed.
    const QString* renamedName(qint64 rowid) const;
    // True once the names could not be read (no PRESET_DEFS, no var_name).
    bool lookupFailed() const { return m_lookupFailed; }

    // The variable names of a database's PRESET_DEFS with their rowids, in rowid order (records
    // without a name left out). Throws platform::DbError.
    using NameList = std::vector<std::pair<qint64, QString>>;
    static NameList readNameList(const platform::Database& db);
    // Closes; the changes (the category column's name) are rolled back.
    void close();

private:
    struct Record {
        qint64 rowid;
        QString name;
        int next; // next record with the same key, -1 at the end
        bool changed; // renamed in this run
    };
    // Hash of a name with ASCII letters capitalised: names the engine's NOCASE comparison finds
    // equal share it.
    static quint32 nocaseHash(QStringView name);
    // Open-addressing table from a name hash to the first record of its chain; a key whose
    // records all moved away keeps its slot with an empty chain.
    // Slots keep 32 bits of the name hash; names that share them share a chain (the records'
    // names are compared anyway). Small slots keep the table in the processor's caches.
    struct Slot {
        quint32 key;
        qint32 head; // kEmptyChain: the key's records all moved away; kUnused: a free slot
    };
    static constexpr qint32 kEmptyChain = -1;
    static constexpr qint32 kUnused = -2;
    const Record* recordOf(qint64 rowid) const;
    Slot* findSlot(quint32 key);
    Slot& slotFor(quint32 key);
    void reserveSlots(size_t keys);
    void readNames();

    std::optional<platform::Database> m_db;
    std::optional<platform::Transaction> m_tx;
    bool m_namesRead = false;
    bool m_lookupFailed = false;
    std::vector<Record> m_records;
    std::vector<Slot> m_slots; // size a power of two
    size_t m_slotsUsed = 0;
};

} // namespace database
