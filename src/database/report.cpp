#include "database/report.h"

#include <QFileInfo>

namespace database {

namespace {

QString valueText(const QVariant& v)
{
    return v.isNull() || !v.isValid() ? QStringLiteral("(none)") : v.toString();
}

// One record: its key and the five values it carried.
QString recordLine(const PreviousRecord& r)
{
    QString line = QStringLiteral("  machine_type=%1 var_name=%2 offset_or_bitno=%3")
                       .arg(valueText(r.machineType), valueText(r.varName), valueText(r.offset));
    const char* names[] = {"abs_min", "abs_max", "min", "max", "pass"};
    for (int v = 0; v < 5; ++v)
        line += QStringLiteral(" %1=%2").arg(QLatin1String(names[v]), valueText(r.values[size_t(v)]));
    return line;
}

} // namespace

QString reportText(const RunReport& report)
{
    const TakeoverLists& t = report.takeover;
    QStringList lines;
    lines << QStringLiteral("Regeneration report of PRESET_DEFS")
          << QStringLiteral("Run at %1, %2 start, program version %3.")
                 .arg(report.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), report.startMode, report.version)
          << QString();
    for (auto it = report.recordsPerMachine.begin(); it != report.recordsPerMachine.end(); ++it) {
        lines << QStringLiteral("Machine %1: %2 slots configured, %3 records generated.")
                     .arg(it.key())
                     .arg(report.slotsPerMachine.value(it.key()))
                     .arg(it.value());
    }
    if (report.recordsPerMachine.isEmpty())
        lines << QStringLiteral("No record was generated.");
    lines << QStringLiteral("%1 previous records were read; %2 generated records received previous limits.")
                 .arg(t.read)
                 .arg(t.generatedWithLimits)
          << QString();
    const auto list = [&](const QString& title, const std::vector<PreviousRecord>& records) {
        lines << title;
        for (const PreviousRecord& r : records)
            lines << recordLine(r);
        if (records.empty())
            lines << QStringLiteral("  none");
        lines << QString();
    };
    list(QStringLiteral("Lost: %1 previous records found no generated record; their limits are gone.").arg(t.lost.size()),
         t.lost);
    list(QStringLiteral("Not matched: %1 previous records have no complete key (no offset_or_bitno) and could not be "
                        "matched at all.")
             .arg(t.notMatched.size()),
         t.notMatched);
    lines << QStringLiteral("Duplicates: %1 previous records had a key that a later previous record also had; the later "
                            "one's values were taken, theirs were dropped.")
                 .arg(t.duplicates.size());
    for (const auto& [dropped, winner] : t.duplicates)
        lines << QStringLiteral("  dropped:") + recordLine(dropped) << QStringLiteral("  taken:  ") + recordLine(winner);
    if (t.duplicates.empty())
        lines << QStringLiteral("  none");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString reportPath(const QString& componentPath)
{
    const QFileInfo info(componentPath);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_Report.txt");
}

} // namespace database
