#pragma once

#include "environment/context.h"
#include "platform/recordset.h"
#include "platform/sqlitedb.h"

#include <optional>

namespace database {

// Carries the limits and access level the user tuned in the previous PRESET_DEFS over into the
// freshly generated one of Database: for every previous record, the first generated record with
// the same machine_type, var_name and offset_or_bitno gets its abs_min, abs_max, min, max and
// pass (a later previous record with the same key wins). Warns when the previous table has
// columns beyond the standard set and no additional fields are configured, and ends the program
// when a configured additional field is missing from the generated table. PreviousTable is
// released after it was read. Failures are reported under "TakeoverMachineCopyMDBData".
// Returns the number of previous records whose values were taken over.
// The previous PRESET_DEFS of db as the takeover reads it: every column of the table in table
// order, but only the columns the takeover compares or carries over filled; the others read as
// absent. Read-only. Throws platform::DbError as Recordset::table does.
platform::Recordset PreviousRecordsForTakeover(const platform::Database& db);

int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database,
                               std::optional<platform::Recordset>& PreviousTable);

} // namespace database
