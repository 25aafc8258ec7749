#pragma once

// Private to the platform layer: the reading half of the Jet import. It uses neither Qt nor the
// toolkit, because it runs in a child process (see jetimport.cpp).

#include <optional>
#include <string>

namespace platform::jet {

// Copies every user table of the Jet file at jetPath, with all its rows, into the SQLite database
// at sqlitePath, which must exist and be empty. Returns an empty string on success, otherwise the
// reason in English (UTF-8), without the file name.
std::string copyJetToSqlite(const char* jetPath, const char* sqlitePath);

// The text "YYYY-MM-DD HH:MM:SS" in which a Jet date/time is stored after import. The whole part
// of the serial counts days from 1899-12-30 (negative before it); the fraction is the time of day,
// taken as an absolute value, rounded to the second. Nothing for values outside the years
// 100 to 9999 and for NaN and infinity.
std::optional<std::string> dateText(double serial);

} // namespace platform::jet
