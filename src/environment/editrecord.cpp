#include "environment/editrecord.h"

#include "environment/errors.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "platform/cp1252.h"
#include "platform/process.h"

namespace environment {

namespace {

// The editor code: every character of the text but "-" and "_", as the hexadecimal form of its
// code-page value plus 5, upper-case digits without leading zeros.
QString editorCode(const QString& text)
{
    QString code;
    const QByteArray bytes = platform::toCp1252(text);
    for (const char c : bytes) {
        if (c == '-' || c == '_')
            continue;
        code += QString::number(static_cast<unsigned char>(c) + 5, 16).toUpper();
    }
    return code;
}

} // namespace

void WriteEditInfo(Context& ctx)
{
    Handler h(ctx, QStringLiteral("WriteEditInfo"));
    QString v;
    h([&] {
        const platform::Version version = ctx.process.version();
        v = QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.revision) +
            (ctx.mode.IntegratedMode ? QStringLiteral(" - Integrated") : QStringLiteral(" - Standalone"));
    });
    h([&] { SaveIni(ctx, v, QStringLiteral("Info"), QStringLiteral("S_Prog"), GetCFGPath(ctx)); });

    // The value of the first entry of the process environment; an entry without "=" counts whole.
    QString env;
    h([&] {
        const QString entry = ctx.process.firstEnvironmentEntry();
        env = entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
    });
    const QString code = editorCode(env);
    h([&] { SaveIni(ctx, code, QStringLiteral("Info"), QStringLiteral("S_Editor"), GetCFGPath(ctx)); });
}

} // namespace environment
