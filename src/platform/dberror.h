#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace platform {

// A failure of the engine or of a request made of it. The number follows the original engine
// where one of its failures has a counterpart (3021 no current record, 3024 file not found,
// 3265 item not found, ...); a failure the SQLite library reports carries 3000 plus its result
// code and the library's message.
struct DbError : std::exception {
    DbError(int number, QString description);
    const char* what() const noexcept override { return m_what.constData(); }

    int number;
    QString description;

private:
    QByteArray m_what;
};

// Numbers of the failures the layer raises itself.
enum DbErrorNumber : int {
    DbErrInvalidType = 3259,       // "Invalid field data type."
    DbErrNoCurrentRecord = 3021,   // "No current record."
    DbErrFileNotFound = 3024,      // "Could not find file '...'."
    DbErrTableExists = 3010,       // "Table '...' already exists."
    DbErrItemNotFound = 3265,      // itemNotFound()
    DbErrNoTable = 3078,           // noTable()
    DbErrObjectClosed = 3420,      // objectClosed()
    DbErrUnrecognisedFormat = 3343, // not an SQLite database (a Jet, ACE or other file)
    DbErrEngineBase = 3000,        // plus the SQLite result code
};

// The failures the layer and its callers raise, each text written once.
inline DbError objectClosed()
{
    return DbError(DbErrObjectClosed, QStringLiteral("Object invalid or no longer set."));
}
inline DbError itemNotFound()
{
    return DbError(DbErrItemNotFound, QStringLiteral("Item not found in this collection."));
}
inline DbError noTable(const QString& table)
{
    return DbError(DbErrNoTable, QStringLiteral("The engine cannot find the input table or query '%1'.").arg(table));
}

} // namespace platform
