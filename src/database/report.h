#pragma once

#include "database/generation.h"
#include "database/takeover.h"
#include "environment/context.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <vector>

namespace database {

// A machine the component serves: its slots and the records written for it.
struct MachineRecords {
    QString name;
    int slotCount = 0;
    int records = 0;
};

// What a regeneration did, as the engineer reads it in <Component>_Report.txt.
struct RunReport {
    QDateTime when;
    QString startMode; // "standalone", "integrated" or "silent"
    QString version;
    QList<MachineRecords> machines; // in machine order
    TakeoverLists takeover;
};

// The records written per served machine, without the rows left out (in row order).
QList<MachineRecords> recordsPerMachine(const QStringList& machineNames, const GeneratedRecords& records,
                                        const std::vector<int>& leftOut);

// The report of a run made now in the context's start mode.
RunReport makeRunReport(const environment::Context& ctx, const QList<MachineRecords>& machines,
                        const TakeoverLists& takeover);

// The report's text: plain sentences, one line per listed record, lines ended by CR LF.
QString reportText(const RunReport& report);

// The question a window run asks before tuned limits are lost.
QString lossQuestion(int lost, const QString& reportPath);

// "1 record", "2 records": a count with its noun in the singular for one.
QString counted(int n, const QString& singular, const QString& plural);

// <component folder>/<Component>_Report.txt for a component database path.
QString reportPath(const QString& componentPath);

} // namespace database
