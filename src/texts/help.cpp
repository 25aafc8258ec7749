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

void CheckBoxHelpInfo(environment::Context& ctx, HelpState& help, const Control& checkBox)
{
    Q_UNUSED(ctx);
    Q_UNUSED(checkBox);
    if (!help.HelpMode)
        return;
    // Undoing the tick and the "Info:" box come with the language texts.
}

} // namespace texts
