#pragma once

#include "environment/context.h"

#include <QString>

#include <optional>

namespace environment {

// The value of option Key in CommandLine (slash, key, one separator character, value), upper-cased
// and trimmed, ending at the next "/"; no value when the key does not occur. A key that ends the
// command line raises ErrInvalidCall. No handler: for callers that must
// not report (the start-up and the error reporter itself).
//
// PathValue: the value is a file path. Paths here are written with "/", so such a value ends only
// where the next option of the program starts ("/EXTERNAL" or "/LOGFILE") instead of at any "/".
//
// KeepCase: the value as the command line gives it, not upper-cased.
std::optional<QString> parseCommand(const QString& CommandLine, const QString& Key, bool PathValue = false,
                                    bool KeepCase = false);

// Upper-cases one character at a time, so the text keeps its length and every position in it
// ("ß" stays "ß").
QString upperCase(const QString& text);

// parseCommand under the handler "ReadCommand": a fault is reported and gives the empty string.
std::optional<QString> ReadCommand(Context& ctx, const QString& CommandLine, const QString& Key,
                                   bool PathValue = false);

// Sets IntegratedMode and SilentMode from option EXTERNAL; returns IntegratedMode.
bool GetStartModeIntegrated(Context& ctx);

// Value of option LOGFILE of the program's command line, or the empty string.
QString GetPathLogfile(Context& ctx);

} // namespace environment
