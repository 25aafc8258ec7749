// A whole silent run of the built program at the largest size: 5 machines x 50 slots x 131
// templates, every previous limit taken over, from the start of the process to its end.

#include "bench.h"
#include "largerun.h"

#include "platform/files.h"
#include "platform/sqlitedb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

// Runs the program silently; the milliseconds it took, or -1 when it did not end with code 0.
double silentRun(const bench::LargeRun& run)
{
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(run.inst.exePath(), {QStringLiteral("/EXTERNAL=SILENT")});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

void run()
{
    bench::LargeRun run;
    QString ini = QStringLiteral("[Project]\nResolution=1024\nVWStudio=FALSE\nNumberOfMachines=5\n");
    for (int m = 1; m <= 5; ++m) {
        ini += QStringLiteral("[Machine%1]\nMachineName=Machine%1\nNumberOfServos=50\n").arg(m);
        for (int s = 1; s <= 50; ++s)
            ini += QStringLiteral("Servo%1=%1\n").arg(s);
    }
    run.inst.writeIni(QStringLiteral("parameter/Program.ini"), ini);
    const QString picture = QStringLiteral(KALVIA_SOURCE_DIR "/demo/installation/ServoTool/Servo_1_1024.gif");
    for (int n = 1; n <= 50; ++n)
        QFile::copy(picture, run.inst.path(QStringLiteral("ServoTool/Servo_%1_1024.gif").arg(n)));
    run.inst.installProgram();
    // A first run makes the previous component database; every record's limits are then tuned.
    if (silentRun(run) < 0) {
        std::printf("the first run failed\n");
        return;
    }
    {
        platform::Database previous(run.componentPath);
        previous.execute(QStringLiteral("UPDATE PRESET_DEFS SET min = min - 1, max = max + 1, pass = 9"));
    }
    const QString previousCopy = run.inst.path(QStringLiteral("previous.mdb"));
    QFile::copy(run.componentPath, previousCopy);
    std::vector<double> runs;
    for (int round = 1; round <= bench::rounds(5); ++round) {
        platform::replaceFileByCopy(previousCopy, run.componentPath);
        runs.push_back(silentRun(run));
        std::printf("%5d  %8.1f ms\n", round, runs.back());
    }
    platform::Database result(run.componentPath);
    platform::Statement tuned(result, QStringLiteral("SELECT count(*) FROM PRESET_DEFS WHERE pass = 9"));
    tuned.step();
    std::printf("-- %lld records carry the tuned limits; reports in the error log: %s\n", tuned.value(0).toLongLong(),
                run.inst.exists(QStringLiteral("QELcfglog.txt")) ? "yes" : "none");
    std::printf("median: silent run of the program %.1f ms (target < 500 ms)\n", bench::median(runs));
}

bench::Registration registration{QStringLiteral("silentrun"), run};

} // namespace
