#include "environment/commandline.h"

#include "environment/errors.h"
#include "platform/process.h"

namespace environment {

namespace {

// Position of the first option of the program in an upper-cased text, or -1.
qsizetype nextOption(const QString& text)
{
    qsizetype first = -1;
    for (const QLatin1String option : {QLatin1String("/EXTERNAL"), QLatin1String("/LOGFILE")}) {
        const qsizetype at = text.indexOf(option);
        if (at >= 0 && (first < 0 || at < first))
            first = at;
    }
    return first;
}

} // namespace

QString upperCase(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper) {
        const QString u = QString(c).toUpper();
        if (u.size() == 1)
            c = u.front();
    }
    return upper;
}

std::optional<QString> parseCommand(const QString& CommandLine, const QString& Key, bool PathValue, bool KeepCase)
{
    const qsizetype p = upperCase(CommandLine).indexOf(upperCase(Key)) + 1; // 1-based, 0 when absent
    if (Key.isEmpty() || p == 0)
        return std::nullopt;
    const qsizetype n = CommandLine.size() - p - Key.size();
    if (n < 0)
        raise(ErrInvalidCall);
    QString rest = CommandLine.right(n).trimmed();
    const QString upper = upperCase(rest);
    const qsizetype slash = PathValue ? nextOption(upper) : upper.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        rest = rest.left(slash).trimmed();
    return KeepCase ? rest : upperCase(rest);
}

std::optional<QString> ReadCommand(Context& ctx, const QString& CommandLine, const QString& Key, bool PathValue)
{
    Handler h(ctx, QStringLiteral("ReadCommand"));
    std::optional<QString> result;
    if (!h([&] { result = parseCommand(CommandLine, Key, PathValue); }))
        result = QString();
    return result;
}

bool GetStartModeIntegrated(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetStartModeIntegrated"));
    QString v;
    h([&] { v = ReadCommand(ctx, ctx.process.commandLine(), QStringLiteral("EXTERNAL")).value_or(QString()); });
    bool result = v.toUpper() == QLatin1String("QELCFG");
    ctx.mode.IntegratedMode = result;
    if (v.toUpper() == QLatin1String("SILENT")) {
        ctx.mode.SilentMode = true;
        result = false;
        ctx.mode.IntegratedMode = false;
    } else {
        ctx.mode.SilentMode = false;
    }
    return result;
}

QString GetPathLogfile(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetPathLogfile"));
    QString result;
    h([&] { result = ReadCommand(ctx, ctx.process.commandLine(), QStringLiteral("LOGFILE"), true).value_or(QString()); });
    return result;
}

} // namespace environment
