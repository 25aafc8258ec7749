#include "database/report.h"

#include "database/records.h"
#include "environment/errors.h"
#include "platform/process.h"

#include <QFileInfo>

namespace database {

namespace {

QString valueText(const QVariant& v)
{
    return isAbsent(v) ? QStringLiteral("(none)") : v.toString();
}

// A record's key, indented as a list line.
QString keyText(const PreviousRecord& r)
{
    return QStringLiteral("  %1=%2 %3=%4 %5=%6")
        .arg(kColumnMachineType, valueText(r.machineType), kColumnVarName, valueText(r.varName), kColumnOffset,
             valueText(r.offset));
}

// One record: its key and the five values it carried.
QString recordLine(const PreviousRecord& r)
{
    QString line = keyText(r);
    for (size_t v = 0; v < kLimitColumns.size(); ++v)
        line += QStringLiteral(" %1=%2").arg(kLimitColumns[v], valueText(r.values[v]));
    return line;
}

} // namespace

QString counted(int n, const QString& singular, const QString& plural)
{
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? singular : plural);
}

QList<MachineRecords> recordsPerMachine(const QStringList& machineNames, const GeneratedRecords& records,
                                        const std::vector<int>& leftOut)
{
    QList<MachineRecords> machines;
    for (const auto& [machine, slotCount] : records.servedMachines)
        machines.append({machineNames.value(machine), slotCount, 0});
    auto skipped = leftOut.begin();
    for (int r = 0; r < records.rows && r < int(records.machineOfRow.size()); ++r) {
        if (skipped != leftOut.end() && *skipped == r) {
            ++skipped;
            continue;
        }
        for (qsizetype i = 0; i < machines.size(); ++i) {
            if (records.servedMachines[size_t(i)].first == records.machineOfRow[size_t(r)]) {
                ++machines[i].records;
                break;
            }
        }
    }
    return machines;
}

RunReport makeRunReport(const environment::Context& ctx, const QList<MachineRecords>& machines,
                        const TakeoverLists& takeover)
{
    RunReport report;
    report.when = QDateTime::currentDateTime();
    report.startMode = ctx.mode.SilentMode ? QStringLiteral("silent")
                       : ctx.mode.IntegratedMode ? QStringLiteral("integrated")
                                                 : QStringLiteral("standalone");
    const platform::Version v = ctx.process.version();
    report.version = QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
    report.machines = machines;
    report.takeover = takeover;
    return report;
}

QString reportText(const RunReport& report)
{
    const TakeoverLists& t = report.takeover;
    QStringList lines;
    lines << QStringLiteral("Regeneration report of PRESET_DEFS")
          << QStringLiteral("Run at %1, %2 start, program version %3.")
                 .arg(report.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), report.startMode, report.version)
          << QString();
    for (const MachineRecords& m : report.machines) {
        lines << QStringLiteral("Machine %1: %2 configured, %3 generated.")
                     .arg(m.name, counted(m.slotCount, QStringLiteral("slot"), QStringLiteral("slots")),
                          counted(m.records, QStringLiteral("record"), QStringLiteral("records")));
    }
    if (report.machines.isEmpty())
        lines << QStringLiteral("No record was generated.");
    lines << QStringLiteral("%1 read; %2 previous limits.")
                 .arg(counted(t.read, QStringLiteral("previous record was"), QStringLiteral("previous records were")),
                      counted(t.generatedWithLimits, QStringLiteral("generated record received"),
                              QStringLiteral("generated records received")))
          << QString();
    const auto changes = [&](const QString& title, const std::vector<FieldChange>& fields, bool conflicts) {
        lines << title;
        for (const FieldChange& c : fields) {
            const QString key = keyText(c.record);
            const QString& field = kLimitColumns[size_t(c.field)];
            lines << (conflicts ? QStringLiteral("%1 %2: tuned %3 kept, old default %4, new default %5")
                                      .arg(key, field, valueText(c.record.values[size_t(c.field)]),
                                           valueText(c.oldDefault), valueText(c.newDefault))
                                : QStringLiteral("%1 %2: %3 -> %4")
                                      .arg(key, field, valueText(c.oldDefault), valueText(c.newDefault)));
        }
        if (fields.empty())
            lines << QStringLiteral("  none");
        lines << QString();
    };
    changes(QStringLiteral("Defaults updated: %1 never tuned, took the template's new default.")
                .arg(counted(int(t.defaultsUpdated.size()), QStringLiteral("field"), QStringLiteral("fields"))),
            t.defaultsUpdated, false);
    changes(QStringLiteral("Conflicts: %1 tuned, kept although the template's default changed.")
                .arg(counted(int(t.conflicts.size()), QStringLiteral("field"), QStringLiteral("fields"))),
            t.conflicts, true);
    const auto list = [&](const QString& title, const std::vector<PreviousRecord>& records) {
        lines << title;
        for (const PreviousRecord& r : records)
            lines << recordLine(r);
        if (records.empty())
            lines << QStringLiteral("  none");
        lines << QString();
    };
    const int lost = int(t.lost.size());
    list(QStringLiteral("Lost: %1 no generated record; %2 gone.")
             .arg(counted(lost, QStringLiteral("previous record found"), QStringLiteral("previous records found")),
                  lost == 1 ? QStringLiteral("its limits are") : QStringLiteral("their limits are")),
         t.lost);
    list(QStringLiteral("Not matched: %1 no complete key (no offset_or_bitno) and could not be matched at all.")
             .arg(counted(int(t.notMatched.size()), QStringLiteral("previous record has"),
                          QStringLiteral("previous records have"))),
         t.notMatched);
    lines << (t.duplicates.size() == 1
                  ? QStringLiteral("Duplicates: 1 previous record had a key that a later previous record also had; the "
                                   "later one's values were taken, its own were dropped.")
                  : QStringLiteral("Duplicates: %1 previous records had a key that a later previous record also had; "
                                   "the later one's values were taken, theirs were dropped.")
                        .arg(t.duplicates.size()));
    for (const auto& [dropped, winner] : t.duplicates)
        lines << QStringLiteral("  dropped:") + recordLine(dropped) << QStringLiteral("  taken:  ") + recordLine(winner);
    if (t.duplicates.empty())
        lines << QStringLiteral("  none");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString lossQuestion(int lost, const QString& reportPath)
{
    return (lost == 1 ? QStringLiteral("1 parameter loses its tuned limits: its servo or bit number is no longer "
                                       "configured.")
                      : QStringLiteral("%1 parameters lose their tuned limits: their servos or bit numbers are no "
                                       "longer configured.")
                            .arg(lost)) +
           environment::kLfCr + QStringLiteral("They are listed in the report, written on Yes:") + environment::kLfCr +
           reportPath + environment::kLfCr + environment::kLfCr +
           QStringLiteral("Replace the component database all the same?");
}

QString reportPath(const QString& componentPath)
{
    const QFileInfo info(componentPath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_Report.txt");
}

} // namespace database
