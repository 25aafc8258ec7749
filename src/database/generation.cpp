#include "database/generation.h"

#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"

namespace database {

namespace {

const QString kProcName = QStringLiteral("CreateRecordSets");

} // namespace

GeneratedRecords GenerateServoRecords(environment::Context& ctx, platform::Database& db,
                                      const environment::EditingState& state, const NamingState& naming,
                                      ComponentDatabase& component)
{
    environment::Handler h(ctx, kProcName);
    h([&] { environment::GetValidMachines(ctx); }); // read as the original does; the value is not used
    return GenerateRecordSets(h, db, state, naming, component, [&](int machine) {
        return environment::LoadIniBoolean(ctx, QStringLiteral("Project"),
                                           QStringLiteral("ForMachine") + QString::number(machine),
                                           environment::GetCFGPath(ctx), false, false);
    });
}

void CreateRecordSets(environment::Context& ctx, platform::Database& db, const environment::EditingState& state,
                      const NamingState& naming, ComponentDatabase& component)
{
    const GeneratedRecords records = GenerateServoRecords(ctx, db, state, naming, component);
    environment::Handler h(ctx, kProcName);
    WriteGeneratedRecords(h, db, records);
}

int GeneratedRecords::columnIndex(const QString& name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace database
