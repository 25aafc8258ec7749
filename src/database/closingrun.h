#pragma once

#include "database/report.h"

#include "environment/context.h"
#include "environment/editingstate.h"
#include "platform/sqlitedb.h"

#include <QList>
#include <QStringList>

namespace database {

// What a closing run wrote.
struct ClosingRunOutcome {
    QList<MachineRecords> machines;       // the served machines with their slots and records written
    int limitsTakenOver = 0;              // previous records whose limits were carried over
    QStringList filesWritten;             // template and component database, once replaced
    int limitsLost = 0;                   // previous records that found no generated record
    int defaultsUpdated = 0;              // untuned fields that took the template's new default
    int conflicts = 0;                    // tuned fields kept although their default changed
    QString reportPath;                   // the run's report, once the takeover was reached
    bool declined = false;                // the user chose to keep the previous limits: nothing written

    int recordsGenerated() const;
};

// The database half of the closing run: regenerates PRESET_DEFS in the component template
// database from its templates for the configured slots, takes over the previous limits, and
// makes the finished template the new component database. Each database is written inside one
// transaction and the component database is replaced in one rename at the end, so a run that
// ends early leaves both files as they were.
ClosingRunOutcome WorkOnMDB(environment::Context& ctx, const environment::EditingState& state);

} // namespace database
