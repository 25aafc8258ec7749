#pragma once

// Internals of the engine layer shared by its source files; never included elsewhere.

#include "platform/sqlitedb.h"

#include <sqlite3.h>

namespace platform::detail {

struct Connection {
    explicit Connection(sqlite3* handle) : db(handle) {}
    ~Connection() { sqlite3_close_v2(db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db;
};

// Throws the engine's failure for a result code other than SQLITE_OK/ROW/DONE.
void check(sqlite3* db, int rc);
[[noreturn]] void fail(sqlite3* db, int rc);

void bindValue(sqlite3* db, sqlite3_stmt* stmt, int position, const QVariant& value);
QVariant columnValue(sqlite3_stmt* stmt, int column);

} // namespace platform::detail
