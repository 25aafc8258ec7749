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
// freshly generated one: for every previous record, the first generated record with the same
// machine_type, var_name and offset_or_bitno gets its abs_min, abs_max, min, max and pass (a
// later previous record with the same key wins). The generated records are those in memory when
// given (they get the values there, to be written afterwards), otherwise those of Database's
// PRESET_DEFS. Warns when the previous table has columns beyond the standard set and no
// additional fields are configured, and ends the program when a configured additional field is
// missing from Database's PRESET_DEFS. PreviousTable is released after it was read. Failures are
// reported under "TakeoverMachineCopyMDBData". Returns the number of previous records whose
// values were taken over.
int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database,
                               std::optional<platform::Recordset>& PreviousTable,
                               GeneratedRecords* generated = nullptr);

// A previous record as the takeover keeps it: machine_type, var_name, offset_or_bitno, abs_min,
// abs_max, min, max, pass.
inline constexpr int kKeptCount = 8;
using PreviousRecord = std::array<QVariant, kKeptCount>;
struct PreviousRecords {
    int columns = 0; // of the previous table
    std::vector<PreviousRecord> records;
    std::vector<qint64> rowids; // of the records, ascending
};

// Reads the previous PRESET_DEFS of db, only the columns the takeover keeps. False, and nothing
// read, when the table lacks one of the columns the takeover reads: the general way
// (PreviousRecordsForTakeover) then reports it for every record. Throws platform::DbError.
bool ReadPreviousRecords(const platform::Database& db, std::optional<PreviousRecords>& previous);
// Both in one: the previous records of the run's component database as the renames left them.
bool ReadPreviousRecords(ComponentDatabase& component, std::optional<PreviousRecords>& previous);
// TakeoverMachineCopyMDBData on previous records read so, into records in memory. The records
// are released.
int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& Database, PreviousRecords& previous,
                               GeneratedRecords& generated);

// The previous PRESET_DEFS of db as the takeover reads it: every column of the table in table
// order, but only the columns the takeover compares or carries over filled; the others read as
// absent. Read-only. Throws platform::DbError as Recordset::table does.
platform::Recordset PreviousRecordsForTakeover(const platform::Database& db);
// The same from the component database of the run, with the variable names as the run's renames
// left them (written to the file or not).
platform::Recordset PreviousRecordsForTakeover(ComponentDatabase& component);

} // namespace database
