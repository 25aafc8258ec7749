#pragma once

#include "database/componentdb.h"
#include "database/records.h"
#include "environment/context.h"
#include "environment/editingstate.h"
#include "environment/errors.h"
#include "platform/sqlitedb.h"

#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

namespace database {

// Records generated for PRESET_DEFS and not yet written: the closing run carries the previous
// limits over into them before they are inserted, each record once.
struct GeneratedRecords {
    // The table's columns in table order.
    QStringList columns;
    // Values row by row; absent (an invalid QVariant) where the generation assigned nothing.
    std::vector<QVariant> cells;
    int rows = 0;
    // The machine number each row was generated for.
    std::vector<int> machineOfRow;
    // The machines the component serves, in machine order, with the slots configured for each.
    std::vector<std::pair<int, int>> servedMachines;
    // The defaults of each row: the five limit values (kLimitColumns) the template gave it, five
    // cells a row; empty when the table lacks one of those columns.
    std::vector<QVariant> defaults;

    int columnCount() const { return int(columns.size()); }
    // Position of a column, compared without regard to letter case; -1 when there is none.
    int columnIndex(const QString& name) const;
    QVariant& at(int row, int column) { return cells[size_t(row) * size_t(columns.size()) + size_t(column)]; }
    const QVariant& at(int row, int column) const
    {
        return cells[size_t(row) * size_t(columns.size()) + size_t(column)];
    }
};

// Generates the records of the freshly rebuilt PRESET_DEFS of the open component template
// database: for every machine the component serves (key ForMachine<m> of the component's .cfg),
// for every slot of it, one record per template row, with the placeholders replaced and the
// variable name formed from the name pattern of the record's part. Variable names in the
// component database are brought to the naming system in use on the way (in its name lookup).
// The records stay in memory: the closing run takes the previous limits over into them and then
// writes them with writeGeneratedRecords. Failures are reported under "CreateRecordSets".
GeneratedRecords CreateRecordSets(environment::Context& ctx, platform::Database& db,
                                  const environment::EditingState& state, const NamingState& naming,
                                  ComponentDatabase& component);

// PRESET_DEFS_DEFAULTS rebuilt beside PRESET_DEFS, its key and limit columns declared as they are
// there; none (and false) when PRESET_DEFS lacks one of them. Throws platform::DbError.
bool rebuildDefaultsTable(platform::Database& db);

// The defaults of the records written (all but the rows left out) into PRESET_DEFS_DEFAULTS.
void writeDefaults(environment::Handler& h, platform::Database& db, const GeneratedRecords& records,
                   const std::vector<int>& leftOut);

// Inserts the records into PRESET_DEFS with one prepared statement, in order. A record that cannot be written is reported to h and left out; the others
// are written. Returns the rows left out.
std::vector<int> writeGeneratedRecords(environment::Handler& h, platform::Database& db, const GeneratedRecords& records);

} // namespace database
