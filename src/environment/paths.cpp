#include "environment/paths.h"

#include "environment/errors.h"
#include "platform/files.h"
#include "platform/process.h"

namespace environment {

namespace {
constexpr int kSuffixLength = 7;
}

QString InstallationRoot(const Context& ctx)
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
            raise(ErrInvalidCall, QStringLiteral("Invalid procedure call or argument"));
        result = name.left(name.size() - kSuffixLength);
    });
    return result;
}

QString ComponentNameOrEmpty(const Context& ctx)
{
    const QString name = ctx.process.exeName();
    return name.size() > kSuffixLength ? name.left(name.size() - kSuffixLength) : QString();
}

bool HasComponentName(const Context& ctx)
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
        const QString p = InstallationRoot(ctx) + QStringLiteral("/parameter/qelconfiguration.ini");
        if (!p.isEmpty() && platform::fileExists(p))
            result = platform::resolvePath(p);
    });
    return result;
}

} // namespace environment
