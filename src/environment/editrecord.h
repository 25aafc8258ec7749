#pragma once

#include "environment/context.h"

namespace environment {

// Records program version, start mode and editor code in section Info of the .cfg.
void WriteEditInfo(Context& ctx);

} // namespace environment
