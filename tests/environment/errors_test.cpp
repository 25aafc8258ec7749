#include "environment/cancel.h"
#include "environment/errors.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using environment::ErrorSub;
using environment::Handler;
using environment::RunTimeError;
using platform::Answer;

namespace {

QString lines(const QStringList& parts)
{
    return parts.join(QStringLiteral("\n\r"));
}

} // namespace

TEST(ErrorSub, LogsTheLineAndAsksWhetherToResume)
{
    support::Installation inst(QStringLiteral("Pump"));
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(ErrorSub(inst.context, 5, QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("ReadCommand"), false),
              2);
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")), QByteArray("Fehler in Pump / S / ReadCommand (Nr. 5) :D\r\n"));

    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    const platform::MessageBox& box = inst.messages.boxes[0];
    EXPECT_EQ(box.title, QStringLiteral("Unexpected error"));
    EXPECT_EQ(box.buttons, platform::Buttons::YesNo);
    EXPECT_FALSE(box.noIsDefault);
    EXPECT_EQ(box.icon, platform::Icon::Critical);
    EXPECT_EQ(box.text, lines({QStringLiteral("Unexpected error!"), QStringLiteral("D"), QStringLiteral("Error logged to "),
                               (inst.root() + QStringLiteral("/QELcfglog.txt")).toUpper(), QStringLiteral("Resume?")}));

    inst.messages.expect(Answer::No);
    EXPECT_EQ(ErrorSub(inst.context, 6, QStringLiteral("S"), QStringLiteral("E"), QStringLiteral("P"), false), 1);
    // Two errors give two lines, in order.
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")),
              QByteArray("Fehler in Pump / S / ReadCommand (Nr. 5) :D\r\nFehler in Pump / S / P (Nr. 6) :E\r\n"));
}

TEST(ErrorSub, FatalErrorShowsOnlyOkAndEnds)
{
    support::Installation inst;
    inst.messages.expect(Answer::Ok);
    EXPECT_EQ(ErrorSub(inst.context, 9999, QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("P"), true), 1);
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("Fatal error"));
    EXPECT_EQ(inst.messages.boxes[0].buttons, platform::Buttons::Ok);
    EXPECT_FALSE(inst.messages.boxes[0].text.contains(QStringLiteral("Resume?")));
}

TEST(ErrorSub, IntegratedStartLogsToTheLogfileOption)
{
    support::Installation inst;
    inst.context.mode.IntegratedMode = true;
    inst.process.arguments = QStringLiteral("/EXTERNAL=QELCFG /LOGFILE=") + inst.path(QStringLiteral("cfglog.txt"));
    inst.messages.expect(Answer::Yes);
    ErrorSub(inst.context, 5, QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("P"), false);
    // The option's value comes upper-cased; the file is found without regard to letter case and
    // created under the name as given.
    const QString upper = inst.path(QStringLiteral("cfglog.txt")).toUpper();
    EXPECT_TRUE(inst.messages.boxes[0].text.contains(QStringLiteral("Error logged to \n\r") + upper));
    EXPECT_TRUE(inst.exists(QStringLiteral("CFGLOG.TXT")) || inst.exists(QStringLiteral("cfglog.txt")));
    EXPECT_FALSE(inst.exists(QStringLiteral("QELcfglog.txt")));
}

TEST(ErrorSub, IntegratedStartWithoutLogfileStillAsks)
{
    support::Installation inst;
    inst.context.mode.IntegratedMode = true;
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(ErrorSub(inst.context, 5, QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("P"), false), 2);
    EXPECT_TRUE(inst.messages.boxes[0].text.contains(QStringLiteral("Error logged to \n\r\n\rResume?")));
}

TEST(ErrorSub, SilentRunLogsTwiceAndNeverAsksEvenWhenFatal)
{
    support::Installation inst;
    inst.context.mode.SilentMode = true;
    EXPECT_EQ(ErrorSub(inst.context, 5, QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("P"), true), 2);
    EXPECT_TRUE(inst.messages.boxes.empty());
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")), QByteArray("Fehler in ServoView / S / P (Nr. 5) :D\r\n"));
    const QByteArray expected = "! Fault ServoView_Config: Unexpected error!\n\rD\n\rError logged to \n\r" +
                                (inst.root() + QStringLiteral("/QELcfglog.txt")).toUpper().toLocal8Bit() + "\r\n";
    EXPECT_EQ(inst.read(QStringLiteral("ZeltoServicePack.log")), expected);
}

TEST(Handler, ResumeContinuesWithTheNextStatementAndNoEndsTheProgram)
{
    support::Installation inst;
    Handler h(inst.context, QStringLiteral("Proc"));
    QStringList ran;
    inst.messages.expect(Answer::Yes);
    EXPECT_FALSE(h([&] { environment::raiseSubscript(); }));
    EXPECT_TRUE(h([&] { ran << QStringLiteral("next"); }));
    EXPECT_EQ(ran, QStringList{QStringLiteral("next")});
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")),
              QByteArray("Fehler in ServoView / ServoView_Config / Proc (Nr. 9) :Subscript out of range\r\n"));

    inst.messages.expect(Answer::No);
    try {
        h([&] { environment::toInt16(40000); });
        FAIL() << "the program did not end";
    } catch (const support::ProgramEnded& ended) {
        EXPECT_EQ(ended.code, 2);
    }
}

TEST(Handler, ReporterSurvivesAnUnwritableLog)
{
    support::Installation inst;
    inst.process.folder = QStringLiteral("/nonexistent-root/ServoTool");
    inst.messages.expect(Answer::Yes);
    Handler h(inst.context, QStringLiteral("Proc"));
    EXPECT_FALSE(h([&] { environment::raiseOverflow(); }));
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_TRUE(inst.messages.boxes[0].text.contains(QStringLiteral("Overflow")));
}

TEST(ConfirmCancel, StandaloneAsksWithNoAsDefault)
{
    support::Installation inst;
    inst.messages.expect(Answer::No);
    EXPECT_FALSE(environment::ConfirmCancel(inst.context));
    EXPECT_FALSE(inst.exists(QStringLiteral("QELcfglog.txt")));
    const platform::MessageBox& box = inst.messages.boxes.at(0);
    EXPECT_EQ(box.title, QStringLiteral("Cancel?"));
    EXPECT_TRUE(box.noIsDefault);
    EXPECT_EQ(box.icon, platform::Icon::Exclamation);
    EXPECT_EQ(box.text, lines({QStringLiteral("Cancel edits?"), QStringLiteral("Remark:"),
                               QStringLiteral("Until now no changes have been taken over ")}));

    inst.messages.expect(Answer::Yes);
    EXPECT_TRUE(environment::ConfirmCancel(inst.context));
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")),
              QByteArray("Konfigurations-EXE wurde abgebrochen:     ServoView\r\n"));
}

TEST(ConfirmCancel, IntegratedNamesTheProgramToStartLater)
{
    support::Installation inst;
    inst.context.mode.IntegratedMode = true;
    inst.messages.expect(Answer::No);
    environment::ConfirmCancel(inst.context);
    EXPECT_EQ(inst.messages.boxes.at(0).text,
              lines({QStringLiteral("Cancel edits?"), QStringLiteral("Remark:"),
                     QStringLiteral("Until now no changes have been taken over "),
                     QStringLiteral("\"ServoView\" has to be configured again in \"standalone-mode\" via "),
                     QStringLiteral("\"") + inst.programFolder() + QStringLiteral("/ServoView_Config.exe\"")}));
}

TEST(ConfirmCancel, SilentRunLogsAndCancelsWithoutAsking)
{
    support::Installation inst;
    inst.context.mode.SilentMode = true;
    EXPECT_TRUE(environment::ConfirmCancel(inst.context));
    EXPECT_TRUE(inst.messages.boxes.empty());
    EXPECT_TRUE(inst.read(QStringLiteral("ZeltoServicePack.log"))
                    .startsWith("! Fault ServoView_Config: Cancel edits?\n\rRemark:"));
}
