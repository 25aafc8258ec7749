#include "environment/commandline.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

TEST(StartMode, FollowsTheCommandLine)
{
    const struct { const char* name; const char* commandLine; bool integrated; bool silent; const char* logfile; } cases[] = {
        {"empty", "", false, false, ""},
        {"lower-case", "/external:qelcfg", true, false, ""},
        {"value-ends-at-slash", "/EXTERNAL=QELCFG/LOGFILE=C:\\x.txt", true, false, "C:\\X.TXT"},
        {"inner-blanks-kept", "/EXTERNAL=QELCFG /LOGFILE=c:\\my logs\\cfg.txt", true, false, "C:\\MY LOGS\\CFG.TXT"},
        {"one-separator-only", "/EXTERNAL==QELCFG", false, false, ""},
        {"blank-separator", "/EXTERNAL QELCFG", true, false, ""},
        {"empty-value", "/EXTERNAL=", false, false, ""},
        {"silent", "/EXTERNAL=silent", false, true, ""},
        {"path-keeps-its-slashes", "/LOGFILE=/tmp/my logs/log.txt /EXTERNAL=QELCFG", true, false, "/TMP/MY LOGS/LOG.TXT"},
        {"path-ends-at-the-next-option", "/LOGFILE=C:\\l.txt/external=QELCFG", true, false, "C:\\L.TXT"},
        {"first-occurrence-counts", "/LOGFILE=C:\\EXTERNAL\\l.txt /EXTERNAL=QELCFG", false, false, "C:\\EXTERNAL\\L.TXT"},
        // upper-cased one character at a time: "ß" keeps every later position where it was
        {"sharp-s-keeps-positions", "/LOGFILE=/home/Stra\xC3\x9Fe/log.txt /EXTERNAL=SILENT", false, true, "/HOME/STRA\xC3\x9FE/LOG.TXT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::Installation inst;
        inst.context.mode.SilentMode = !c.silent;
        inst.process.arguments = c.commandLine;
        EXPECT_EQ(GetStartModeIntegrated(inst.context), c.integrated);
        EXPECT_EQ(inst.context.mode.IntegratedMode, c.integrated);
        EXPECT_EQ(inst.context.mode.SilentMode, c.silent);
        EXPECT_EQ(GetPathLogfile(inst.context), c.logfile);
    }
}

TEST(StartMode, KeyAtTheEndIsReported)
{
    support::Installation inst;
    inst.process.arguments = "/EXTERNAL";
    inst.messages.expect(platform::Answer::Yes);
    EXPECT_FALSE(GetStartModeIntegrated(inst.context));
    EXPECT_EQ(inst.read("QELcfglog.txt"),
              "Fehler in ServoView / ServoView_Config / ReadCommand (Nr. 5) :Invalid procedure call or argument\r\n");
}
