#include "environment/paths.h"

#include "environment/errors.h"
#include "environment/ini.h"
#include "platform/files.h"
#include "platform/process.h"

namespace environment {

namespace {

constexpr int kSuffixLength = 7;

// The path when it names an existing file (resolved without regard to letter case), else "".
QString existing(const QString& path)
{
    return !path.isEmpty() && platform::fileExists(path) ? platform::resolvePath(path) : QString();
}

// root/<component>/<component><suffix>
QString componentFile(Context& ctx, const QString& suffix)
{
    const QString component = GetOCXName(ctx);
    return installationRoot(ctx) + platform::kSeparator + component + platform::kSeparator + component + suffix;
}

// Folder + rest, with one separator between them whether or not the folder ends with one.
QString below(const QString& folder, const QString& rest)
{
    return folder.endsWith(platform::kSeparator) ? folder + rest : folder + platform::kSeparator + rest;
}

} // namespace

QString installationRoot(const Context& ctx)
{
    QString folder = ctx.process.exeFolder();
    while (!folder.isEmpty() && !folder.endsWith(platform::kSeparator))
        folder.chop(1);
    if (!folder.isEmpty())
        folder.chop(1);
    return folder;
}

QString GetOCXName(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetOCXName"));
    QString result;
    h([&] {
        const QString name = ctx.process.exeName();
        if (name.size() < kSuffixLength)
            raise(ErrInvalidCall);
        result = name.left(name.size() - kSuffixLength);
    });
    return result;
}

QString componentNameOrEmpty(const Context& ctx)
{
    const QString name = ctx.process.exeName();
    return name.size() > kSuffixLength ? name.left(name.size() - kSuffixLength) : QString();
}

bool hasComponentName(const Context& ctx)
{
    return ctx.process.exeName().size() > kSuffixLength;
}

QString GetFileNameOnly(Context& ctx, const QString& Path)
{
    Handler h(ctx, QStringLiteral("GetFileNameOnly"));
    QString s = Path;
    h([&] {
        const qsizetype last = s.lastIndexOf(platform::kSeparator);
        if (last >= 0)
            s = s.mid(last + 1);
    });
    return s;
}

QString GetQELConfigurationIniPath(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetQELConfigurationIniPath"));
    QString result;
    h([&] {
        const QString p = installationRoot(ctx) + QStringLiteral("/parameter/qelconfiguration.ini");
        if (!p.isEmpty() && platform::fileExists(p))
            result = platform::resolvePath(p);
    });
    return result;
}

QString GetProgramIniPath(Context& ctx, ProgramIni which)
{
    Handler h(ctx, QStringLiteral("GetProgramIniPath"));
    QString result;
    if (which == ProgramIni::Read && ctx.mode.IntegratedMode) {
        QString folder;
        h([&] {
            folder = LoadIniString(ctx, QStringLiteral("Common"), QStringLiteral("SaveAndRestore"),
                                   GetQELConfigurationIniPath(ctx));
        });
        h([&] { result = existing(below(folder, QStringLiteral("parameter/program.ini"))); });
    } else {
        h([&] { result = existing(installationRoot(ctx) + QStringLiteral("/parameter/Program.ini")); });
    }
    return result;
}

QString GetCFGPath(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetCFGPath"));
    QString p;
    h([&] { p = componentFile(ctx, QStringLiteral(".cfg")); });
    if (!p.isEmpty() && platform::fileExists(p))
        return platform::resolvePath(p);
    // The configuration run cannot go on without the component's configuration file.
    h([&] { FaultMessage(ctx, runTimeError(ErrFileNotFound).description + QStringLiteral(": ") + kLfCr + p.toUpper()); });
    EndProgram(ctx, platform::ExitOther);
}

QString GetPathOCXMDB(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetPathOCXMDB"));
    QString result;
    h([&] { result = platform::resolvePath(componentFile(ctx, QStringLiteral(".mdb"))); });
    return result;
}

QString GetPathSourceOCXMDB(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetPathSourceOCXMDB"));
    QString result;
    h([&] { result = existing(componentFile(ctx, QStringLiteral("_Source.mdb"))); });
    return result;
}

QString GetPathMachineCopyMDB(Context& ctx, const QString& IniFile)
{
    Handler h(ctx, QStringLiteral("GetPathMachineCopyMDB"));
    QString folder;
    h([&] {
        folder = LoadIniString(ctx, QStringLiteral("Common"), QStringLiteral("SaveAndRestore"), IniFile);
    });
    QString p;
    h([&] {
        const QString component = GetOCXName(ctx);
        p = below(folder, component + platform::kSeparator + component + QStringLiteral(".mdb"));
    });
    // A folder that is no usable path simply counts as missing.
    return existing(p);
}

} // namespace environment
