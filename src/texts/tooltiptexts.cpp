#include "texts/tooltiptexts.h"

namespace texts {

void LoadToolTipTexts(environment::Context& ctx, ControlRegistry& controls, HelpState& help)
{
    Q_UNUSED(ctx);
    Q_UNUSED(controls);
    Q_UNUSED(help);
    // The designed captions stay until the language file is read.
}

} // namespace texts
