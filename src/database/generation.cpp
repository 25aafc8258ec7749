#include "database/generation.h"

#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"

namespace database {

void CreateRecordSets(environment::Context& ctx, platform::Database& db, const environment::EditingState& state,
                      const NamingState& naming, ComponentDatabase& component)
{
    environment::Handler h(ctx, QStringLiteral("CreateRecordSets"));
    h([&] { environment::GetValidMachines(ctx); }); // read as the original does; the value is not used
    GenerateRecordSets(h, db, state, naming, component, [&](int machine) {
        return environment::LoadIniBoolean(ctx, QStringLiteral("Project"),
                                           QStringLiteral("ForMachine") + QString::number(machine),
                                           environment::GetCFGPath(ctx), false, false);
    });
}

} // namespace database
