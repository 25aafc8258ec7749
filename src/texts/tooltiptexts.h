#pragma once

#include "environment/context.h"
#include "texts/controlregistry.h"
#include "texts/help.h"

namespace texts {

// Gives every control its caption, tooltip and help text in the configured language.
void LoadToolTipTexts(environment::Context& ctx, ControlRegistry& controls, HelpState& help);

} // namespace texts
