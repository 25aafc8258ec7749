#pragma once

#include "database/takeover.h"

#include <QDateTime>
#include <QMap>
#include <QString>

namespace database {

// What a regeneration did, as the engineer reads it in <Component>_Report.txt.
struct RunReport {
    QDateTime when;
    QString startMode; // "standalone", "integrated" or "silent"
    QString version;
    QMap<QString, int> slotsPerMachine;   // configured slots by machine name
    QMap<QString, int> recordsPerMachine; // generated records by machine_type
    TakeoverLists takeover;
};

// The report's text: plain sentences, one line per listed record, lines ended by CR LF.
QString reportText(const RunReport& report);

// <component folder>/<Component>_Report.txt for a component database path.
QString reportPath(const QString& componentPath);

} // namespace database
