#pragma once

#include "platform/sqlitedb.h"

#include <QHash>
#include <QString>

#include <optional>
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
    ComponentDatabase(const ComponentDatabase&) = delete;
    ComponentDatabase& operator=(const ComponentDatabase&) = delete;

    // Opens the file at path, when there is one, and begins the run's transaction. Throws
    // platform::DbError when the file exists but cannot be opened as a database.
    void open(const QString& path);
    bool isOpen() const { return m_db.has_value(); }
    // The open database (without the renames). Throws platform::DbError 3420 when closed.
    platform::Database& database();

    // Gives the PRESET_DEFS records whose var_name is oldName, compared as the engine compares
    // text without regard to letter case, the name newName. The names are read from the table
    // into the lookup once; the table itself is not changed. Throws platform::DbError when the
    // table cannot be read.
    void renameRecords(const QString& oldName, const QString& newName);
    // The name of the PRESET_DEFS record with this rowid as the renames left it; none when the
    // names were not read or the record has no name.
    const QString* currentName(qint64 rowid) const;
    // True once the names could not be read (no PRESET_DEFS, no var_name).
    bool lookupFailed() const { return m_lookupFailed; }

    // Closes; the changes (the category column's name) are rolled back.
    void close();

private:
    struct Record {
        qint64 rowid;
        QString name;
    };
    void readNames();

    std::optional<platform::Database> m_db;
    std::optional<platform::Transaction> m_tx;
    bool m_namesRead = false;
    bool m_lookupFailed = false;
    std::vector<Record> m_records;              // in rowid order
    QHash<QString, std::vector<int>> m_byName;  // records by nocaseKey of their name
};

} // namespace database
