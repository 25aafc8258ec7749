#pragma once

#include "platform/recordset.h"
#include "platform/sqlitedb.h"

#include <QString>

#include <optional>

namespace database {

// The component database as the closing run holds it: opened once for the whole run, every
// change (the category column's new name, renamed variable names) written inside one
// transaction that commit() makes permanent. Without a file at the path it stays closed and
// the procedures that use it do nothing.
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
    // The open database; throws platform::DbError 3420 when closed.
    platform::Database& database();

    // The PRESET_DEFS records whose var_name is the given name in any letter case, updatable.
    // Found through an index that lives only inside the run's transaction, so a lookup does not
    // walk the table.
    platform::Recordset recordsNamed(const QString& name);
    // True once the lookup could not be set up in this database (no PRESET_DEFS, no var_name).
    bool lookupFailed() const { return m_lookupFailed; }

    // Makes the run's changes permanent (the lookup index is dropped first) and closes.
    void commit();
    // Closes; changes not committed are rolled back.
    void close();

private:
    std::optional<platform::Database> m_db;
    std::optional<platform::Transaction> m_tx;
    std::optional<platform::Statement> m_lookup;
    bool m_lookupFailed = false;
};

} // namespace database
