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

void raise(int number, const QString& description, const QString& source)
{
    throw RunTimeError(number, description, source);
}

void raiseSubscript()
{
    raise(ErrSubscript, QStringLiteral("Subscript out of range"));
}

void raiseOverflow()
{
    raise(ErrOverflow, QStringLiteral("Overflow"));
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

QString LogError(Context& ctx, const QString& Text, bool)
{
    QString file;
    if (ctx.mode.IntegratedMode) {
        // Read without the handler of GetPathLogfile: a fault in the command line must not
        // bring the reporter back to itself.
        try {
            // A new log gets the name the command line gives it.
            file = parseCommand(ctx.process.commandLine(), QStringLiteral("LOGFILE"), true, true).value_or(QString());
        } catch (const RunTimeError&) {
            file.clear();
        }
    } else {
        file = platform::joinPath(installationRoot(ctx), QStringLiteral("QELcfglog.txt"));
    }
    // A log that cannot be written is skipped; the note is still returned.
    platform::appendLine(file, Text);
    return QStringLiteral("Error logged to ") + kLfCr + file.toUpper();
}

void WriteServiceLog(Context& ctx, const QString& Text)
{
    platform::appendLine(serviceLogPath(ctx),
                         QStringLiteral("! Fault ") + ctx.process.exeName() + QStringLiteral(": ") + Text);
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
    const QString note = LogError(ctx, line, false);
    ++ctx.failuresReported;
    const QString message = QStringLiteral("Unexpected error!") + kLfCr + ErrDescription + kLfCr + note;

    if (ctx.mode.SilentMode) {
        WriteServiceLog(ctx, message);
        return 2;
    }
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
