#pragma once

#include "environment/context.h"
#include "platform/dberror.h"

#include <QString>

#include <exception>
#include <utility>

namespace environment {

// Run-time error numbers as the original run-time reports them; runTimeError() gives each its
// text, written once there.
enum ErrorNumber : int {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrSubscript = 9,
    ErrTypeMismatch = 13,
    ErrInternal = 51,
    ErrFileNotFound = 53,
    ErrFileAccess = 75,
    ErrObjectNotSet = 91,
    ErrInvalidNull = 94,
    ErrNoSuchMember = 438,
    ErrInvalidPicture = 481,
    ErrDatabaseFatal = 9999, // the takeover's fatal database error
};

// A run-time failure: number, source and description. An empty source stands for the program
// itself and is reported as the executable's name.
struct RunTimeError : std::exception {
    RunTimeError(int number, QString description, QString source = {})
        : number(number), source(std::move(source)), description(std::move(description)) {}
    const char* what() const noexcept override { return "run-time error"; }

    int number;
    QString source;
    QString description;
};

// The run-time's failure of that number with its own text, followed by ": detail" when given
// (the file a file failure concerns).
RunTimeError runTimeError(ErrorNumber number, const QString& detail = {});
// Throws runTimeError(number, detail).
[[noreturn]] void raise(ErrorNumber number, const QString& detail = {});
// A failure with a text of its own.
[[noreturn]] void raise(int number, const QString& description, const QString& source);
[[noreturn]] inline void raiseSubscript() { raise(ErrSubscript); }
[[noreturn]] inline void raiseOverflow() { raise(ErrOverflow); }

// Narrows to a 16-bit signed integer; outside its range raises ErrOverflow.
qint16 toInt16(qint64 value);

// Index check of the original's fixed-size tables: outside lo..hi raises ErrSubscript.
inline int checkIndex(int index, int lo, int hi)
{
    if (index < lo || index > hi)
        raiseSubscript();
    return index;
}

// Hands an error to the user (or the service log) and returns 1 (end) or 2 (resume).
int ErrorSub(Context& ctx, int ErrNumber, const QString& ErrSource, const QString& ErrDescription,
             const QString& ProcName, bool Fatal);
// Appends Text to the error log (to standard error when the log cannot take it); returns the note
// naming the log.
QString LogError(Context& ctx, const QString& Text);
// A critical box titled with the executable's name, or a service-log line when silent.
void FaultMessage(Context& ctx, const QString& Text);
// Appends "! Fault <exe>: Text" to the service log (Text to standard error when it cannot).
void WriteServiceLog(Context& ctx, const QString& Text);
[[noreturn]] void EndProgram(Context& ctx, int code);

// The error log of standalone and silent starts, in the installation root.
inline const QString kErrorLogName = QStringLiteral("QELcfglog.txt");

// Path of the service log.
QString serviceLogPath(const Context& ctx);

// The handler a procedure installs: it runs the procedure's statements one at a time. A statement
// that fails is reported through ErrorSub under the procedure's name (a database failure with the
// engine's number and "SQLite" as its source); the program ends when the answer is 1 (with code
// 2), otherwise the procedure goes on with its next statement.
//
//     Handler h(ctx, "ReadCommand");
//     h([&] { p = ...; });
//
// The call returns true when the statement completed and false when it failed and was resumed.
class Handler {
public:
    Handler(Context& ctx, QString procName, bool fatal = false)
        : m_ctx(ctx), m_procName(std::move(procName)), m_fatal(fatal) {}

    template <typename Statement>
    bool operator()(Statement&& statement)
    {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const RunTimeError& error) {
            report(error);
        } catch (const platform::DbError& error) {
            report(RunTimeError(error.number, error.description, QStringLiteral("SQLite")));
        } catch (const std::exception& error) {
            report(RunTimeError(ErrInternal, QString::fromLocal8Bit(error.what())));
        }
        return false;
    }

    // Reports an error found by the procedure itself, as its handler would.
    void report(const RunTimeError& error);

    const QString& procName() const { return m_procName; }
    Context& context() { return m_ctx; }

private:
    Context& m_ctx;
    QString m_procName;
    bool m_fatal;
};

// Line break inside the program's messages: line feed, then carriage return.
inline const QString kLfCr = QStringLiteral("\n\r");

} // namespace environment
