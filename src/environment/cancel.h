#pragma once

#include "environment/context.h"

namespace environment {

// Asks whether the edits are to be dropped. True = cancelled (always when silent).
// No handler of its own: failures belong to the caller.
bool ConfirmCancel(Context& ctx);

} // namespace environment
