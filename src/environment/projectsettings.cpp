#include "environment/projectsettings.h"

#include "environment/errors.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "platform/files.h"

namespace environment {

namespace {

// Resizes the machine list to the indexes 0..upper, keeping what fits.
void resizeMachines(QStringList& machines, int upper)
{
    while (machines.size() > upper + 1)
        machines.removeLast();
    while (machines.size() < upper + 1)
        machines.append(QString());
}

} // namespace

void GetExistingMachines(Context& ctx, const QString& ConfigIni)
{
    Handler h(ctx, QStringLiteral("GetExistingMachines"));
    h([&] { ctx.project.ProgramIniPath = GetProgramIniPath(ctx, ProgramIni::Read); });
    QStringList& machines = ctx.project.ExistingMachines;
    if (ctx.mode.IntegratedMode) {
        if (ConfigIni.isEmpty() || !platform::fileExists(ConfigIni))
            return;
        for (int i = 1; i <= 5; ++i) {
            QString name;
            h([&] {
                name = LoadIniString(ctx, QStringLiteral("Common"), QStringLiteral("NameM%1").arg(i), ConfigIni);
            });
            if (name.isEmpty() || name == QLatin1String("-"))
                break;
            resizeMachines(machines, i);
            machines[i] = name;
        }
        return;
    }
    qint16 n = 0;
    h([&] {
        n = LoadIniInteger(ctx, QStringLiteral("Project"), QStringLiteral("NumberOfMachines"),
                           ctx.project.ProgramIniPath);
    });
    for (int i = 1; i <= n; ++i) {
        resizeMachines(machines, i);
        h([&] {
            machines[i] = LoadIniString(ctx, QStringLiteral("Machine%1").arg(i), QStringLiteral("MachineName"),
                                        ctx.project.ProgramIniPath);
        });
    }
}

QString GetValidMachines(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetValidMachines"));
    QString result;
    h([&] {
        result = LoadIniString(ctx, QStringLiteral("Project"), QStringLiteral("ValidMachines"), GetCFGPath(ctx));
    });
    return result;
}

QStringList GetAdditionalFieldsMDB(Context& ctx)
{
    QStringList fields{QString()};
    Handler h(ctx, QStringLiteral("GetAdditionalFieldsMDB"));
    QString s;
    h([&] {
        s = LoadIniString(ctx, QStringLiteral("Project"), QStringLiteral("DataBaseAdditionalFields"),
                          GetCFGPath(ctx));
    });
    // The field "part" always comes first.
    s = s.isEmpty() ? QStringLiteral("part") : QStringLiteral("part,") + s;
    for (;;) {
        const qsizetype comma = s.indexOf(QLatin1Char(','));
        if (comma < 0) {
            fields.append(s);
            break;
        }
        fields.append(s.left(comma));
        s = s.mid(comma + 1);
    }
    return fields;
}

void GetAddFields(Context& ctx)
{
    Handler h(ctx, QStringLiteral("GetAddFields"));
    QStringList fields;
    h([&] { fields = GetAdditionalFieldsMDB(ctx); });
    if (fields.isEmpty())
        return; // the call failed and was resumed: the other two values stay as they were
    ProjectSettings& project = ctx.project;
    project.AdditionalFields = fields;
    QString sql;
    for (qsizetype i = 1; i < fields.size(); ++i)
        sql += QStringLiteral(", PRESET_DEFS.") + fields[i];
    project.AdditionalFieldsSQL = sql;
    h([&] { project.AdditionalFieldsCount = toInt16(fields.size() - 1); });
}

int machineUpperIndex(const Context& ctx)
{
    if (ctx.project.ExistingMachines.isEmpty())
        raiseSubscript();
    return static_cast<int>(ctx.project.ExistingMachines.size()) - 1;
}

} // namespace environment
