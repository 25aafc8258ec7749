#pragma once

// Internals of the engine layer shared by its source files; never included elsewhere.

#include "platform/sqlitedb.h"

#include <sqlite3.h>

namespace platform::detail {

struct Connection {
    explicit Connection(sqlite3* handle) : db(handle) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db;
};

// Throws the engine's failure for a result code other than SQLITE_OK/ROW/DONE, naming the database file.
void check(sqlite3* db, int rc);
[[noreturn]] void fail(sqlite3* db, int rc, const QString& file = {});

// Binds a value as Statement::bind describes.
void bindValue(sqlite3* db, sqlite3_stmt* stmt, int position, const QVariant& value);
QVariant columnValue(sqlite3_stmt* stmt, int column);
// Steps a statement to its end and resets it; throws DbError on failure.
void run(sqlite3* db, sqlite3_stmt* stmt);

} // namespace platform::detail
