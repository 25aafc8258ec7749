#include "environment/cancel.h"
#include "environment/errors.h"
#include "support/installation.h"

#include <QDir>

#include <gtest/gtest.h>

using platform::Answer;

namespace {

const QString kLog = "QELcfglog.txt";
const QByteArray kLine = "Fehler in ServoView / S / P (Nr. 5) :D\r\n";

int report(support::Installation& inst, bool fatal)
{
    return environment::ErrorSub(inst.context, 5, "S", "D", "P", fatal);
}

} // namespace

// Each report is logged in the code page and asks to resume unless fatal; a silent run logs it in
// the service log as well and never asks.
TEST(ErrorSub, LogsAndAsksToResumeUnlessFatalOrSilent)
{
    support::Installation inst("Kühler");
    for (const Answer answer : {Answer::Yes, Answer::No, Answer::Ok})
        inst.messages.expect(answer);
    EXPECT_EQ(report(inst, false), 2);
    EXPECT_EQ(report(inst, false), 1);
    EXPECT_EQ(report(inst, true), 1);
    inst.context.mode.SilentMode = true;
    EXPECT_EQ(report(inst, true), 2);
    const QByteArray line = "Fehler in K\xFChler / S / P (Nr. 5) :D\r\n";
    EXPECT_EQ(inst.read(kLog), line + line + line + line);
    const QString text = "Unexpected error!\n\rD\n\rError logged to \n\r" + inst.path(kLog).toUpper();
    EXPECT_EQ(inst.messages.boxes.at(0).text, text + "\n\rResume?");
    EXPECT_EQ(inst.messages.boxes.at(0).buttons, platform::Buttons::YesNo);
    EXPECT_EQ(inst.messages.boxes.at(2).text, text);
    EXPECT_EQ(inst.messages.boxes.at(2).buttons, platform::Buttons::Ok);
    EXPECT_EQ(QString::fromLatin1(inst.read("ZeltoServicePack.log")), "! Fault Kühler_Config: " + text + "\r\n");
}

TEST(ErrorSub, IntegratedLogsToTheLogfileOption)
{
    support::Installation inst;
    inst.context.mode.IntegratedMode = true;
    inst.messages.expect(Answer::Yes);
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(report(inst, false), 2); // without the option nothing is logged, the question comes all the same
    // A new log gets the name as the command line gives it (the suite looks for it there); the
    // note shows it upper-cased; folders and an existing log are found in any letter case.
    QDir().mkpath(inst.path("Protokolle"));
    inst.process.arguments = "/EXTERNAL=QELCFG /LOGFILE=" + inst.path("protokolle/cfgLog.txt");
    EXPECT_EQ(report(inst, false), 2);
    EXPECT_TRUE(inst.messages.boxes.at(0).text.endsWith("Error logged to \n\r\n\rResume?"));
    EXPECT_TRUE(inst.messages.boxes.at(1).text.contains(inst.path("protokolle/cfgLog.txt").toUpper()));
    EXPECT_EQ(QDir(inst.path("Protokolle")).entryList(QDir::Files), QStringList{"cfgLog.txt"});
    inst.process.arguments = "/EXTERNAL=QELCFG /LOGFILE=" + inst.path("PROTOKOLLE/CFGLOG.TXT");
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(report(inst, false), 2);
    EXPECT_EQ(inst.read("Protokolle/cfgLog.txt"), kLine + kLine);
    EXPECT_FALSE(inst.exists(kLog));
}

TEST(Handler, YesResumesNoEnds)
{
    support::Installation inst;
    inst.process.folder = "/nonexistent-root/ServoTool"; // the log cannot be written
    environment::Handler h(inst.context, "Proc");
    inst.messages.expect(Answer::Yes);
    inst.messages.expect(Answer::No);
    QStringList ran;
    EXPECT_FALSE(h([&] { environment::raiseSubscript(); }));
    EXPECT_TRUE(h([&] { ran << "next"; }));
    EXPECT_EQ(ran, QStringList{"next"});
    EXPECT_TRUE(inst.messages.boxes.at(0).text.startsWith("Unexpected error!\n\rSubscript out of range"));
    EXPECT_EQ(support::endCode([&] { h([&] { environment::toInt16(40000); }); }), 2);
}

// Integrated, the question's last line names the program as it lies on disk, not a Windows file
// beside it; a silent run cancels without asking.
TEST(ConfirmCancel, AsksNamingTheProgramFileUnlessSilent)
{
    support::Installation inst;
    inst.context.mode.IntegratedMode = true;
    inst.messages.expect(Answer::No);
    EXPECT_FALSE(environment::ConfirmCancel(inst.context));
    EXPECT_TRUE(inst.messages.boxes.at(0).text.endsWith("\"" + inst.process.folder + "/ServoView_Config\""))
        << inst.messages.boxes.at(0).text.toStdString();
    inst.context.mode.SilentMode = true;
    EXPECT_TRUE(environment::ConfirmCancel(inst.context));
    EXPECT_TRUE(inst.read("ZeltoServicePack.log").startsWith("! Fault ServoView_Config: Cancel edits?"));
}
