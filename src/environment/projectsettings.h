#pragma once

#include "environment/context.h"

namespace environment {

// Fills ProgramIniPath and ExistingMachines.
void GetExistingMachines(Context& ctx, const QString& ConfigIni);
// Upper index of ExistingMachines; a list that was never filled has no bounds and raises
// ErrSubscript.
int machineUpperIndex(const Context& ctx);
// Entry ValidMachines of the .cfg, unparsed.
QString GetValidMachines(Context& ctx);
// "", "part", then the names of DataBaseAdditionalFields.
QStringList GetAdditionalFieldsMDB(Context& ctx);
// Fills AdditionalFields, AdditionalFieldsSQL and AdditionalFieldsCount.
void GetAddFields(Context& ctx);

} // namespace environment
