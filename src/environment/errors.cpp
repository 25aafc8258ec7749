#include "environment/errors.h"

#include "environment/commandline.h"
#include "environment/paths.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <cstdlib>
#include <limits>
#include <utility>

namespace environment {

RunTimeError runTimeError(ErrorNumber number, const QString& detail)
{
    QString text;
    switch (number) {
    case ErrInvalidCall: text = QStringLiteral("Invalid procedure call or argument"); break;
    case ErrOverflow: text = QStringLiteral("Overflow"); break;
    case ErrSubscript: text = QStringLiteral("Subscript out of range"); break;
    case ErrTypeMismatch: text = QStringLiteral("Type mismatch"); break;
    case ErrInternal: text = QStringLiteral("Internal error"); break;
    case ErrFileNotFound: text = QStringLiteral("File not found"); break;
    case ErrFileAccess: text = QStringLiteral("Path/File access error"); break;
    case ErrObjectNotSet: text = QStringLiteral("Object variable or With block variable not set"); break;
    case ErrInvalidNull: text = QStringLiteral("Invalid use of Null"); break;
    case ErrNoSuchMember: text = QStringLiteral("Object doesn't support this property or method"); break;
    case ErrInvalidPicture: text = QStringLiteral("Invalid picture"); break;
    case ErrDatabaseFatal: text = QStringLiteral("Database-Error - Contact Administrator!"); break;
    }
    return RunTimeError(number, detail.isEmpty() ? text : text + QStringLiteral(": ") + detail);
}

void raise(ErrorNumber number, const QString& detail)
{
    throw runTimeError(number, detail);
}

void raise(int number, const QString& description, const QString& source)
{
    throw RunTimeError(number, description, source);
}

qint16 toInt16(qint64 value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        raiseOverflow();
    return static_cast<qint16>(value);
}

QString serviceLogPath(const Context& ctx)
{
#ifdef Q_OS_WIN
    Q_UNUSED(ctx);
    return QStringLiteral("C:\\ZeltoServicePack.log");
#else
    return platform::joinPath(installationRoot(ctx), QStringLiteral("ZeltoServicePack.log"));
#endif
}

namespace {

// The error log of this start: the file /LOGFILE names when integrated, kErrorLogName in the
// installation root otherwise.
QString errorLogPath(Context& ctx)
{
    if (!ctx.mode.IntegratedMode)
        return platform::joinPath(installationRoot(ctx), kErrorLogName);
    // Read without the handler of GetPathLogfile: a fault in the command line must not bring the
    // reporter back to itself.
    try {
        // A new log gets the name the command line gives it.
        return parseCommand(ctx.process.commandLine(), QStringLiteral("LOGFILE"), true, true).value_or(QString());
    } catch (const RunTimeError&) {
        return {};
    }
}

QString serviceLogLine(Context& ctx, const QString& Text)
{
    return QStringLiteral("! Fault ") + ctx.process.exeName() + QStringLiteral(": ") + Text;
}

} // namespace

QString LogError(Context& ctx, const QString& Text)
{
    const QString file = errorLogPath(ctx);
    // A line no log takes is said on standard error instead.
    if (!platform::appendLine(file, Text))
        ctx.process.printError(Text);
    return QStringLiteral("Error logged to ") + kLfCr + file.toUpper();
}

void WriteServiceLog(Context& ctx, const QString& Text)
{
    if (!platform::appendLine(serviceLogPath(ctx), serviceLogLine(ctx, Text)))
        ctx.process.printError(Text);
}

void FaultMessage(Context& ctx, const QString& Text)
{
    ++ctx.failuresReported;
    if (ctx.mode.SilentMode) {
        WriteServiceLog(ctx, Text);
        return;
    }
    platform::MessageBox box;
    box.text = Text;
    box.title = ctx.process.exeName();
    box.buttons = platform::Buttons::Ok;
    box.icon = platform::Icon::Critical;
    ctx.messages.show(box);
}

void EndProgram(Context& ctx, int code)
{
    if (ctx.cleanUp)
        std::exchange(ctx.cleanUp, {})();
    ctx.process.endProgram(code);
    std::abort(); // endProgram never returns
}

int ErrorSub(Context& ctx, int ErrNumber, const QString& ErrSource, const QString& ErrDescription,
             const QString& ProcName, bool Fatal)
{
    const QString line = QStringLiteral("Fehler in ") + componentNameOrEmpty(ctx) + QStringLiteral(" / ") +
                         ErrSource + QStringLiteral(" / ") + ProcName + QStringLiteral(" (Nr. ") +
                         QString::number(ErrNumber) + QStringLiteral(") :") + ErrDescription;
    const QString file = errorLogPath(ctx);
    const bool logged = platform::appendLine(file, line);
    const QString note = QStringLiteral("Error logged to ") + kLfCr + file.toUpper();
    ++ctx.failuresReported;
    const QString message = QStringLiteral("Unexpected error!") + kLfCr + ErrDescription + kLfCr + note;

    if (ctx.mode.SilentMode) {
        // A report that reaches neither log is said on standard error, once.
        if (!platform::appendLine(serviceLogPath(ctx), serviceLogLine(ctx, message)) && !logged)
            ctx.process.printError(line);
        return 2;
    }
    if (!logged)
        ctx.process.printError(line);
    platform::MessageBox box;
    box.icon = platform::Icon::Critical;
    if (!Fatal) {
        box.text = message + kLfCr + QStringLiteral("Resume?");
        box.title = QStringLiteral("Unexpected error");
        box.buttons = platform::Buttons::YesNo;
        box.noIsDefault = false;
        return ctx.messages.show(box) == platform::Answer::No ? 1 : 2;
    }
    box.text = message;
    box.title = QStringLiteral("Fatal error");
    box.buttons = platform::Buttons::Ok;
    ctx.messages.show(box);
    return 1;
}

void Handler::report(const RunTimeError& error)
{
    const QString source = error.source.isEmpty() ? m_ctx.process.exeName() : error.source;
    if (ErrorSub(m_ctx, error.number, source, error.description, m_procName, m_fatal) == 1)
        EndProgram(m_ctx, platform::ExitOther);
}

} // namespace environment
