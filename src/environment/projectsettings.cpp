#include "environment/projectsettings.h"

#include "environment/errors.h"

namespace environment {

void GetExistingMachines(Context& ctx, const QString& ConfigIni)
{
    Handler h(ctx, QStringLiteral("GetExistingMachines"));
    Q_UNUSED(ConfigIni);
    // Filled from the project's INI files once INI access is in place.
}

} // namespace environment
