#pragma once

#include "environment/context.h"
#include "environment/editingstate.h"

namespace database {

// The database half of the closing run: regenerates PRESET_DEFS from the templates for the
// configured slots and takes over the previous limits.
void WorkOnMDB(environment::Context& ctx, const environment::EditingState& state);

} // namespace database
