#include "environment/commandline.h"
#include "environment/errors.h"
#include "support/installation.h"

#include <gtest/gtest.h>

#include <optional>

using environment::GetPathLogfile;
using environment::GetStartModeIntegrated;
using environment::ReadCommand;

namespace {

struct CommandCase {
    const char* name;
    const char* commandLine;
    bool integrated;
    bool silent;
    const char* logfile;
};

// The case's name instead of a memory dump in test output.
void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartMode : public ::testing::TestWithParam<CommandCase> {};

} // namespace

TEST_P(StartMode, FollowsTheCommandLine)
{
    const CommandCase& c = GetParam();
    support::Installation inst;
    inst.process.arguments = QString::fromUtf8(c.commandLine);
    EXPECT_EQ(GetStartModeIntegrated(inst.context), c.integrated);
    EXPECT_EQ(inst.context.mode.IntegratedMode, c.integrated);
    EXPECT_EQ(inst.context.mode.SilentMode, c.silent);
    EXPECT_EQ(GetPathLogfile(inst.context), QString::fromUtf8(c.logfile));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartMode,
    ::testing::Values(
        CommandCase{"empty", "", false, false, ""},
        CommandCase{"lowerCase", "/external:qelcfg", true, false, ""},
        CommandCase{"valueEndsAtSlash", "/EXTERNAL=QELCFG/LOGFILE=C:\\x.txt", true, false, "C:\\X.TXT"},
        CommandCase{"innerBlanksKept", "/EXTERNAL=QELCFG /LOGFILE=c:\\my logs\\cfg.txt", true, false,
                    "C:\\MY LOGS\\CFG.TXT"},
        CommandCase{"oneSeparatorOnly", "/EXTERNAL==QELCFG", false, false, ""},
        CommandCase{"blankSeparator", "/EXTERNAL QELCFG", true, false, ""},
        CommandCase{"emptyValue", "/EXTERNAL=", false, false, ""},
        CommandCase{"silent", "/EXTERNAL=silent", false, true, ""},
        CommandCase{"pathKeepsItsSlashes", "/LOGFILE=/tmp/my logs/log.txt /EXTERNAL=QELCFG", true, false,
                    "/TMP/MY LOGS/LOG.TXT"},
        CommandCase{"pathEndsAtTheNextOption", "/LOGFILE=C:\\l.txt/external=QELCFG", true, false, "C:\\L.TXT"},
        CommandCase{"optionsInAnyOrder", "/LOGFILE=d:\\l.txt /EXTERNAL=QELCFG", true, false, "D:\\L.TXT"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

TEST(ReadCommand, FindsTheKeyInsideAnotherValueAndTakesTheFirstOccurrence)
{
    support::Installation inst;
    // The key is found wherever it occurs: here inside the log path.
    EXPECT_EQ(ReadCommand(inst.context, QStringLiteral("/LOGFILE=C:\\EXTERNAL\\l.txt /EXTERNAL=QELCFG"),
                          QStringLiteral("EXTERNAL")),
              std::optional<QString>(QStringLiteral("L.TXT")));
    EXPECT_EQ(ReadCommand(inst.context, QStringLiteral("/a=1"), QStringLiteral("EXTERNAL")), std::nullopt);
}

TEST(ReadCommand, KeyAtTheVeryEndIsReportedAndResumedAsStandalone)
{
    support::Installation inst;
    inst.process.arguments = QStringLiteral("/EXTERNAL");
    inst.messages.expect(platform::Answer::Yes);
    EXPECT_FALSE(GetStartModeIntegrated(inst.context));
    EXPECT_FALSE(inst.context.mode.SilentMode);
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("Unexpected error"));
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")),
              QByteArray("Fehler in ServoView / ServoView_Config / ReadCommand (Nr. 5) :Invalid procedure call "
                         "or argument\r\n"));
}
