#include "support/installation.h"
#include "window/kalvia.h"

#include <QPushButton>

#include <gtest/gtest.h>

using platform::Answer;
using support::ProgramEnded;

namespace {

int endCode(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ProgramEnded& ended) {
        return ended.code;
    }
    return -1;
}

// A project with one served machine, for the suite (integrated) and for a standalone start.
void writeProject(const support::Installation& inst)
{
    inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                  QStringLiteral("[Common]\nSaveAndRestore=%1\nNameM1=Filler\n").arg(inst.root()));
    inst.writeIni(QStringLiteral("parameter/Program.ini"),
                  QStringLiteral("[Project]\nNumberOfMachines=1\n[Machine1]\nMachineName=Filler\nNumberOfServos=0\n"));
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), QStringLiteral("[Project]\nForMachine1=true\n"));
}

} // namespace

TEST(Lifecycle, ShortExecutableNameIsReportedAndEndsTheProgram)
{
    // Seven characters: all suffix, no component.
    support::Installation inst(QStringLiteral("Pump"), QStringLiteral("ServoTool"), QStringLiteral("_Cf"));
    window::Kalvia w(inst.context);
    inst.messages.expect(Answer::Ok);
    EXPECT_EQ(endCode([&] { w.Form_Load(); }), 2);
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_TRUE(inst.messages.boxes[0].text.contains(QStringLiteral("\"Pump_Cf\"")));
    EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("Pump_Cf"));
}

TEST(Lifecycle, CancelAsksAndEndsOnlyWhenConfirmed)
{
    support::Installation inst;
    window::Kalvia w(inst.context);
    inst.messages.expect(Answer::No);
    EXPECT_EQ(endCode([&] { w.CommandCancel_Click(); }), -1);
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(endCode([&] { w.CommandCancel_Click(); }), 1);
    EXPECT_TRUE(inst.read(QStringLiteral("QELcfglog.txt")).contains("Konfigurations-EXE wurde abgebrochen:     ServoView"));
}

TEST(Lifecycle, FailedCancelQuestionEndsTheProgramWhateverTheAnswer)
{
    support::Installation inst;
    window::Kalvia w(inst.context);
    inst.messages.expectFailure();
    inst.messages.expect(Answer::Yes); // resume
    EXPECT_EQ(endCode([&] { w.CommandCancel_Click(); }), 2);
    EXPECT_TRUE(inst.read(QStringLiteral("QELcfglog.txt")).contains("/ CommandCancel_Click (Nr. 53) :File not found"));
}

TEST(Lifecycle, RefusedCloseKeepsTheWindowOpen)
{
    support::Installation inst;
    window::Kalvia w(inst.context);
    w.show();
    inst.messages.expect(Answer::No);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());

    // A failure while asking refuses the close as well.
    inst.messages.expectFailure();
    inst.messages.expect(Answer::Yes);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(inst.read(QStringLiteral("QELcfglog.txt")).contains("/ Form_QueryUnload (Nr. 53)"));

    inst.messages.expect(Answer::Yes);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}

TEST(Lifecycle, OkRunsTheClosingRunOnceAndEndsWithCodeZero)
{
    support::Installation inst;
    writeProject(inst);
    window::Kalvia w(inst.context);
    w.Form_Load();
    EXPECT_EQ(endCode([&] { w.CommandOK_Click(); }), 0);
    EXPECT_TRUE(w.closingRunStarted());
    EXPECT_FALSE(w.CommandOK->isEnabled());
    EXPECT_FALSE(w.CommandCancel->isEnabled());
    // Activation does not enable OK again while the run is under way, and a second click starts nothing.
    w.Form_Activate();
    EXPECT_FALSE(w.CommandOK->isEnabled());
    EXPECT_EQ(endCode([&] { w.CommandOK_Click(); }), -1);
}

TEST(Lifecycle, CaptionNamesTheProgramFolderAndTheStartMode)
{
    for (const bool integrated : {false, true}) {
        support::Installation inst;
        inst.process.arguments = integrated ? QStringLiteral("/EXTERNAL=QELCFG") : QString();
        writeProject(inst);
        window::Kalvia w(inst.context);
        w.Form_Load();
        EXPECT_EQ(w.windowTitle(), integrated ? QStringLiteral("Erweiterte Konfiguration ServoTool - integriert")
                                              : QStringLiteral("Erweiterte Konfiguration ServoTool - standalone"));
        EXPECT_TRUE(w.CommandOK->isEnabled());
        EXPECT_TRUE(w.CommandCancel->isEnabled());
    }
}

TEST(Lifecycle, SilentLoadPressesOkAndNeverShowsTheWindow)
{
    support::Installation inst;
    inst.process.arguments = QStringLiteral("/EXTERNAL=SILENT");
    writeProject(inst);
    window::Kalvia w(inst.context);
    EXPECT_EQ(endCode([&] { w.Form_Load(); }), 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(inst.messages.boxes.empty());
}
