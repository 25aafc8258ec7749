#pragma once

#include "platform/dbformat.h"

#include <QString>

#include <array>
#include <memory>

namespace platform {

// Outcome of a conversion. The message names the file and says what went wrong; the caller turns
// it into its own error.
struct JetImportResult {
    bool ok = false;
    QString message;
    // In-place conversion: where the original Jet file is kept; empty when nothing was converted.
    QString keptOriginal;
};

// Keeps the Jet file at path beside itself as "<file name>.jet", never overwriting another file:
// when that name holds the same bytes it already is the kept copy, otherwise "<file name>.2.jet"
// (.3.jet, ...) is taken. Returns where it is kept; empty, with the reason in *error, when it
// cannot be kept. *created, when given, is set when a new file was made.
QString keepJetOriginal(const QString& path, QString* error, bool* created = nullptr);

// An in-place conversion of a Jet file into an SQLite database, in two steps, so that a caller
// can work on the converted database and replace the original only when its own work is complete.
//
// The conversion takes every user table with its columns in design order, each declared with the
// type that names its Jet type and size (BIT, BYTE, SHORT, LONG, CURRENCY, SINGLE, DOUBLE,
// DATETIME, BINARY(n), TEXT(n), LONGBINARY, LONGTEXT, GUID, DECIMAL(p,s)), and every row. NULL
// stays apart from empty text; Yes/No becomes 0 or 1; a Single becomes the shortest decimal that
// gives the float back; dates become "YYYY-MM-DD HH:MM:SS" text (a number outside the years 100
// to 9999 is kept as the number); a Replication ID becomes "{8-4-4-4-12}" text. Indexes, keys,
// relations, defaults and the AutoNumber and Required flags are not carried over. The reading
// runs in a child process, so a damaged file that makes the reader crash, loop or complain is
// refused.
//
// The constructor converts the Jet file into a temporary file in the same folder. commit() then
// keeps the original beside it as "<file name>.jet" and renames the temporary file over the
// original. An existing ".jet" file is never overwritten: when it holds the same bytes as the
// original it already is the kept copy, otherwise the original is kept as "<file name>.2.jet"
// (.3.jet, ...). Until commit() succeeds the original stays in place under its name; a conversion
// that is dropped without commit() removes its temporary file. commit() refuses when the original
// was changed or replaced after it was read.
class JetConversion {
public:
    explicit JetConversion(const QString& path);
    ~JetConversion();
    JetConversion(const JetConversion&) = delete;
    JetConversion& operator=(const JetConversion&) = delete;

    // Whether the conversion succeeded (before commit), or the commit (after).
    bool ok() const { return m_ok; }
    const QString& message() const { return m_message; }
    // The converted SQLite database while it waits for commit(); empty otherwise.
    QString convertedPath() const { return m_committed ? QString() : m_temp; }

    // Keeps the original and puts the converted database in its place. A connection to
    // convertedPath() must be closed first (its journal is named after that path). A second call,
    // or a call after a failed conversion, changes nothing and repeats the outcome; a failed commit
    // discards the converted database and leaves the original as it was.
    [[nodiscard]] JetImportResult commit();
    // Removes the converted database; the original stays as it is.
    void discard();

private:
    QString m_path;
    QString m_temp;
    QString m_kept;
    QString m_message;
    std::array<qint64, 5> m_identity {}; // device, inode, size and time of the file that was read
    bool m_ok = false;
    bool m_committed = false;
};

// A database file as a run opens it: an SQLite file as it is, a Jet file through its conversion
// into an SQLite file beside it, which replaces the original only when the run commits it.
struct RunDatabaseFile {
    QString path;
    std::unique_ptr<JetConversion> jet;

    // Checks the file's format and converts a Jet file. Throws DbError 3343 with the format's
    // problem, naming the file, for anything that is neither.
    void prepare();
    QString openPath() const { return jet ? jet->convertedPath() : path; }
};

} // namespace platform
