#pragma once

#include "environment/context.h"

namespace environment {

// Fills ProgramIniPath and ExistingMachines.
void GetExistingMachines(Context& ctx, const QString& ConfigIni);

} // namespace environment
