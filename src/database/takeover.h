#pragma once

#include "database/componentdb.h"
#include "database/generation.h"
#include "environment/context.h"
#include "platform/recordset.h"
#include "platform/sqlitedb.h"

#include <QVariant>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace database {

// Carries the limits and access level the user tuned in the previous PRESET_DEFS over into the
// freshly generated records, still in memory: for every previous record, the first generated
// record with the same machine_type, var_name and offset_or_bitno gets its abs_min, abs_max, min,
// max and pass (a later previous record with the same key wins). Warns when the previous table
// has columns beyond the standard set and no additional fields are configured, and ends the
// program when a configured additional field is missing from Database's PRESET_DEFS.
// PreviousTable is released after it was read. Failures are reported under
// "TakeoverMachineCopyMDBData". Returns the number of previous records whose values were taken
// over.
int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database,
                               std::optional<platform::Recordset>& PreviousTable, GeneratedRecords& generated);

// A previous record as the takeover keeps it: machine_type, var_name, offset_or_bitno, abs_min,
// abs_max, min, max, pass.
inline constexpr int kKeptCount = 8;
using PreviousRecord = std::array<QVariant, kKeptCount>;
struct PreviousRecords {
    int columns = 0; // of the previous table
    std::vector<PreviousRecord> records;
    std::vector<qint64> rowids; // of the records, ascending
};

// Reads the previous PRESET_DEFS of the run's component database, only the columns the takeover
// keeps, with the variable names as the run's renames left them. False, and nothing read, when
// the table lacks one of the columns the takeover reads: PreviousRecordsForTakeover then reports
// it for every record. Throws platform::DbError.
bool ReadPreviousRecords(ComponentDatabase& component, std::optional<PreviousRecords>& previous);
// TakeoverMachineCopyMDBData on previous records read so, into records in memory. The records
// are released.
int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database, PreviousRecords& previous,
                               GeneratedRecords& generated);

// The previous PRESET_DEFS of the run's component database as the takeover reads it: every column
// of the table in table order, but only the columns the takeover compares or carries over filled;
// the others read as absent; the variable names as the run's renames left them. Throws
// platform::DbError as Recordset::table does.
platform::Recordset PreviousRecordsForTakeover(ComponentDatabase& component);

} // namespace database
