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

} // namespace texts
