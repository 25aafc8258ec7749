#include "texts/help.h"

namespace texts {

void ShowHelpInfo(environment::Context& ctx, const HelpState& help, const Control& control)
{
    Q_UNUSED(ctx);
    Q_UNUSED(control);
    if (!help.HelpMode)
        return;
    // The "Info:" box comes with the language texts.
}

} // namespace texts
