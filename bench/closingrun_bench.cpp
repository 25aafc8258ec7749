// The whole closing run at the largest size (32,750 records) with a previous component database of
// the same size whose limits are all taken over, beside the bare insert of the same rows plus a
// copy of the resulting file, measured in the same run.

#include "bench.h"
#include "largerun.h"

#include "database/closingrun.h"
#include "platform/files.h"
#include "platform/sqlitedb.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

void run()
{
    bench::LargeRun run;
    // A first run makes the previous component database; every record's limits are then tuned.
    database::WorkOnMDB(run.inst.context, *run.state);
    {
        platform::Database previous(run.componentPath);
        previous.execute(QStringLiteral("UPDATE PRESET_DEFS SET min = min - 1, max = max + 1, pass = 9"));
    }
    const QString previousCopy = run.inst.path(QStringLiteral("previous.mdb"));
    QFile::copy(run.componentPath, previousCopy);
    const std::vector<std::vector<QVariant>> rows = bench::readRows(previousCopy, QStringLiteral("PRESET_DEFS"));

    std::vector<double> runs;
    std::vector<double> raws;
    database::ClosingRunOutcome outcome;
    std::printf("round  closing run  raw insert + copy  ratio\n");
    for (int round = 1; round <= bench::rounds(5); ++round) {
        platform::replaceFileByCopy(previousCopy, run.componentPath);
        QElapsedTimer timer;
        timer.start();
        outcome = database::WorkOnMDB(run.inst.context, *run.state);
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
        raws.push_back(bench::rawInsert(run.inst.path(QStringLiteral("raw.mdb")), rows,
                                        run.inst.path(QStringLiteral("raw-copy.mdb"))));
        std::printf("%5d  %8.1f ms  %14.1f ms  %5.2f\n", round, runs.back(), raws.back(), runs.back() / raws.back());
    }
    const int records = outcome.recordsGenerated();
    std::printf("-- %d records generated, limits of %d previous records taken over, reports in the error log: %s\n",
                records, outcome.limitsTakenOver, run.inst.exists(QStringLiteral("QELcfglog.txt")) ? "yes" : "none");
    std::printf("median: closing run %.1f ms against raw insert + copy %.1f ms: ratio %.2f\n", bench::median(runs),
                bench::median(raws), bench::median(runs) / bench::median(raws));
}

bench::Registration registration{QStringLiteral("closingrun"), run};

} // namespace
