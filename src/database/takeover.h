#pragma once

#include "database/componentdb.h"
#include "database/generation.h"
#include "environment/context.h"
#include "platform/sqlitedb.h"

#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

namespace database {

// A previous record as the takeover keeps it: the match key and the values taken over.
struct PreviousRecord {
    QVariant machineType;
    QVariant varName;
    QVariant offset;
    std::array<QVariant, 5> values; // abs_min, abs_max, min, max, pass
    // The defaults stored for it by the run that generated it, where there are any.
    std::array<QVariant, 5> defaults;
    std::array<bool, 5> hasDefault{};
};

// A field of a previous record that met a changed default of the template.
struct FieldChange {
    PreviousRecord record;
    int field = 0;     // in kLimitColumns
    QVariant oldDefault;
    QVariant newDefault;
};

// The previous PRESET_DEFS as the takeover reads it.
struct PreviousTable {
    QStringList columns; // every column of the table, in table order
    std::vector<PreviousRecord> records; // in table order; absent values where a column is missing
};

// What the takeover did with the previous records, for the run's report.
struct TakeoverLists {
    int read = 0;              // previous records read
    int generatedWithLimits = 0; // generated records that received previous values
    std::vector<PreviousRecord> lost;       // found no generated record: their limits are gone
    std::vector<PreviousRecord> notMatched; // without a complete key (no offset_or_bitno)
    // A previous record whose key a later one also had: the later one's values were taken.
    std::vector<std::pair<PreviousRecord, PreviousRecord>> duplicates; // (dropped, winner)
    std::vector<FieldChange> defaultsUpdated; // never tuned: took the new default
    std::vector<FieldChange> conflicts;       // tuned, and the default changed: the tuned value was kept
};

// Whether a value the engineer never tuned takes the template's new default (the .cfg's
// [Project] TemplateDefaultsReachUntuned, on unless "false"), or every previous value wins.
enum class UntunedValues { TakeNewDefaults, KeepPrevious };

// Reads PRESET_DEFS of the run's component database, whatever the order and letter case of its
// columns, with the variable names as the run's renames left them, and the defaults stored for
// each record in PRESET_DEFS_DEFAULTS (by the record's key as it was stored). Throws
// platform::DbError when a table cannot be read.
PreviousTable readPreviousTable(ComponentDatabase& component);

// Carries the limits and access level the user tuned in the previous PRESET_DEFS over into the
// freshly generated records, still in memory: for every previous record, the first generated
// record with the same machine_type, var_name and offset_or_bitno (texts without regard to the
// letter case of A to Z, the bit number by value, no match without one) gets its abs_min,
// abs_max, min, max and pass; a later previous record with the same key wins. With
// UntunedValues::TakeNewDefaults a field whose previous value equals its stored default (never
// tuned) takes the template's new default instead; a tuned field whose default changed is kept
// and listed as a conflict. Warns when the
// previous table has columns beyond the standard set and no additional fields are configured,
// reports every standard column the previous table lacks once per record, and ends the program
// when a configured additional field is missing from db's PRESET_DEFS. The previous table is
// released after it was read. Failures are reported under "TakeoverMachineCopyMDBData". Returns
// the number of previous records whose values were taken over; the lists are filled for the report.
int TakeoverMachineCopyMDBData(environment::Context& ctx, platform::Database& db,
                               std::optional<PreviousTable>& previousTable, GeneratedRecords& generated,
                               TakeoverLists& lists, UntunedValues untuned = UntunedValues::TakeNewDefaults);

} // namespace database
