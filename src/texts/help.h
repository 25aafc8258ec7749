#pragma once

#include "environment/context.h"
#include "texts/controlregistry.h"

#include <QString>

#include <array>

namespace texts {

inline constexpr int kMaxHelpNumber = 100;

// Help mode and the help texts of the loaded language.
struct HelpState {
    bool HelpMode = false;
    bool HelpReentry = false;
    std::array<QString, kMaxHelpNumber + 1> HelpTexts{}; // 1..100
};

// Shows the control's help text in help mode; does nothing otherwise.
void ShowHelpInfo(environment::Context& ctx, const HelpState& help, const Control& control);

// In help mode undoes the tick a click gave the check box and shows its help text; the reset's own
// click notification ends at HelpReentry. Does nothing outside help mode.
void CheckBoxHelpInfo(environment::Context& ctx, HelpState& help, const Control& checkBox);

} // namespace texts
