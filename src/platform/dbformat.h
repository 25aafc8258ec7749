#pragma once

#include <QString>

namespace platform {

// What a database file holds, judged by its first bytes and its size.
enum class DatabaseFormat {
    Missing,     // no ordinary file under the name
    Unreadable,  // the file cannot be read
    Empty,       // zero bytes
    Sqlite,      // an SQLite 3 database
    Jet3,        // "Standard Jet DB", version 0 (Access 97)
    Jet4,        // "Standard Jet DB", version 1 (Access 2000 to 2003)
    Ace,         // "Standard ACE DB" (Access 2007 and later): refused
    DamagedJet,  // claims to be Jet but has an unknown version or is shorter than two pages
    Other,       // anything else
};

DatabaseFormat databaseFormat(const QString& path);

inline bool isJet(DatabaseFormat format)
{
    return format == DatabaseFormat::Jet3 || format == DatabaseFormat::Jet4;
}

// Why a file of this format cannot be opened as a database, as a message naming the file; empty
// for SQLite and Jet files.
QString databaseFormatProblem(const QString& path, DatabaseFormat format);

} // namespace platform
