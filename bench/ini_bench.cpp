// Start-up reads and the writing at OK on the largest configuration: 5 machines with 50 slots
// each, every key present.
#include "bench.h"

#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "support/installation.h"
#include "window/kalvia.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRounds = 7;

QString largestProgramIni()
{
    QString text = QStringLiteral("; largest configuration\n[Project]\nResolution=1024\nServoWithFault=true\n"
                                  "ServoWithMenu=false\nServoWithMachineType=0\nVWStudio=FALSE\nNumberOfMachines=5\n");
    for (int m = 1; m <= 5; ++m) {
        text += QStringLiteral("\n[Machine%1]\nMachineName=Machine %1\nNumberOfServos=50\n").arg(m);
        for (int s = 1; s <= 50; ++s) {
            text += QStringLiteral("Servo%1=%2\nDiag2Servo%1=%3\nExtServo%1=%4\nServoPic%1=%5\n")
                        .arg(s)
                        .arg((s + m) % 50 + 1)
                        .arg(s % 2 ? QStringLiteral("true") : QStringLiteral("false"))
                        .arg(s % 3 ? QStringLiteral("false") : QStringLiteral("true"))
                        .arg(s % 4 + 1);
        }
    }
    return text;
}

const QString kCfg = QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\nForMachine3=true\n"
                                    "ForMachine4=true\nForMachine5=true\nValidMachines=1,2,3,4,5\n"
                                    "DataBaseAdditionalFields=\n\n[Info]\nS_Prog=\nS_Editor=\n");

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

void report(const char* what, std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    std::printf("  %-58s median %8.2f ms   min %8.2f ms   max %8.2f ms\n", what, ms(times[times.size() / 2]),
                ms(times.front()), ms(times.back()));
}

struct Round {
    qint64 reads = 0;
    qint64 write = 0;
};

// One start and one OK on fresh files. changeEverything: every slot value differs from the file, so
// every key's write replaces the file.
Round runOnce(const support::Installation& inst, bool changeEverything)
{
    inst.writeIni(QStringLiteral("parameter/Program.ini"), largestProgramIni());
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), kCfg);
    auto& ctx = const_cast<support::Installation&>(inst).context;
    ctx.project = {};
    auto w = std::make_unique<window::Kalvia>(ctx);
    Round r;

    QElapsedTimer t;
    t.start();
    environment::GetExistingMachines(ctx, environment::GetQELConfigurationIniPath(ctx));
    w->SetupUserInterFace();
    r.reads = t.nsecsElapsed();

    if (changeEverything) {
        environment::EditingState& st = w->state();
        for (int m = 1; m <= 5; ++m) {
            for (int s = 1; s <= 50; ++s) {
                st.Servo[m][s] = static_cast<qint16>(st.Servo[m][s] % 50 + 1);
                st.Diag2Servo[m][s] = !st.Diag2Servo[m][s];
                st.ExtServo[m][s] = !st.ExtServo[m][s];
                st.ServoPicNo[m][s] = static_cast<qint16>(st.ServoPicNo[m][s] + 1);
            }
        }
    }
    t.restart();
    w->WriteInputs();
    r.write = t.nsecsElapsed();
    return r;
}

void run()
{
    support::Installation inst;
    inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), QStringLiteral("[Common]\n"));
    std::vector<qint64> reads, writes, changedWrites;
    for (int i = 0; i < kRounds; ++i) {
        const Round same = runOnce(inst, false);
        reads.push_back(same.reads);
        writes.push_back(same.write);
        changedWrites.push_back(runOnce(inst, true).write);
    }
    std::printf("Program.ini: %lld bytes, 5 machines x 50 slots, %d rounds\n",
                static_cast<long long>(inst.read(QStringLiteral("parameter/Program.ini")).size()), kRounds);
    report("start-up reads (machines, project and servo keys)", reads);
    report("WriteInputs with edit record (values as read)", writes);
    report("WriteInputs with edit record (every slot value changed)", changedWrites);
    if (!inst.messages.boxes.empty())
        std::printf("  warning: %zu message boxes were shown\n", inst.messages.boxes.size());
}

bench::Registration registration{QStringLiteral("ini"), run};

} // namespace
