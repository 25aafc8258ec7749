#include "support/installation.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// Runs the installed program as a service would: no display of any kind.
int runWithoutDisplay(const support::Installation& inst, const QStringList& args, const QString& exe = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(exe.isEmpty() ? inst.exePath() : exe, args);
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

} // namespace

TEST(Program, SilentRunNeedsNoDisplayAndEndsWithCodeZero)
{
    support::Installation inst;
    inst.installProgram();
    inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\nNumberOfMachines=1\n"));
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), QStringLiteral("[Project]\nForMachine1=true\n"));
    EXPECT_EQ(runWithoutDisplay(inst, {QStringLiteral("/EXTERNAL=SILENT")}), 0);
}

TEST(Program, ShortProgramNameEndsWithCodeTwoAndSaysWhy)
{
    support::Installation inst(QStringLiteral("Pump"), QStringLiteral("ServoTool"), QStringLiteral("_Cf"));
    inst.installProgram();
    EXPECT_EQ(runWithoutDisplay(inst, {QStringLiteral("/EXTERNAL=SILENT")}), 2);
    EXPECT_TRUE(inst.read(QStringLiteral("ZeltoServicePack.log")).startsWith("! Fault Pump_Cf: The program name \"Pump_Cf\""));
}

TEST(Program, WindowStartWithoutDisplayEndsWithCodeTwo)
{
    support::Installation inst;
    inst.installProgram();
    EXPECT_EQ(runWithoutDisplay(inst, {}), 2);
}
