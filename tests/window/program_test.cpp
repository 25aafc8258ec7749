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

TEST(Program, SilentRunWritesOnlyItsOwnKeysAndTheEditRecord)
{
    support::Installation inst;
    inst.installProgram();
    const QString before = QStringLiteral(
        "; kept as it is\n[Project]\nResolution=1024\nServoWithFault=TRUE\nServoWithMenu=false\nServoWithMachineType=0\n"
        "NumberOfMachines=2\n\n[Machine1]\nMachineName=Filler\nNumberOfServos=1\nServo1=3\nDiag2Servo1=true\n"
        "ExtServo1=false\nServoPic1=0\n\n[Machine2]\nMachineName=Capper\nNumberOfServos=1\nServo1=4\n");
    inst.writeIni(QStringLiteral("parameter/Program.ini"), before);
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), QStringLiteral("[Project]\nForMachine1=true\n[Info]\nS_Prog=\n"));
    EXPECT_EQ(runWithoutDisplay(inst, {QStringLiteral("/EXTERNAL=SILENT")}), 0);

    QString after = before;
    after.replace(QStringLiteral("ServoWithFault=TRUE"), QStringLiteral("ServoWithFault=true"))
        .replace(QStringLiteral("ServoPic1=0"), QStringLiteral("ServoPic1=1"))
        .replace(QStringLiteral("Capper\nNumberOfServos=1"), QStringLiteral("Capper\nNumberOfServos=0"));
    after.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    EXPECT_EQ(QString::fromLatin1(inst.read(QStringLiteral("parameter/Program.ini"))), after);
    const QByteArray cfg = inst.read(QStringLiteral("ServoView/ServoView.cfg"));
    EXPECT_TRUE(cfg.startsWith("[Project]\r\nForMachine1=true\r\n[Info]\r\nS_Prog=1.0.0 - Standalone\r\nS_Editor="));
}
