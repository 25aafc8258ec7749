#pragma once

#include "environment/context.h"
#include "texts/controlregistry.h"
#include "texts/help.h"

#include <QString>

namespace texts {

// The language file: in the program's folder, named after the executable with ".ini".
QString languageFilePath(const environment::Context& ctx);

// The language code of section [Language] of the language file, taken as it is. When the file
// holds none, "1031" (German) is written there and returned.
QString GetLanguage(environment::Context& ctx);

// Gives every control its caption, tooltip and help text in the configured language, walking the
// registry in its order. Keys the language file lacks are written: a German section collects the
// designed captions, every other language gets "0"; help and tooltip keys get "0" in every
// language. A failure while handling one control skips the rest of that control only.
void LoadToolTipTexts(environment::Context& ctx, ControlRegistry& controls, HelpState& help);

} // namespace texts
