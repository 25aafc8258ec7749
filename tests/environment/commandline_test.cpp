#include "environment/commandline.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

TEST(StartMode, FollowsTheCommandLine)
{
    const struct { const char* name; const char* commandLine; bool integrated, silent; const char* logfile;
                   bool reported = false; } cases[] = {
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
        {"sharp-s-keeps-positions", "/LOGFILE=/home/Stra\u00dfe/log.txt /EXTERNAL=SILENT", false, true,
         "/HOME/STRA\u00dfE/LOG.TXT"},
        {"key-at-the-end", "/EXTERNAL", false, false, "", true}, // reported, and taken as no key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::Installation inst;
        inst.context.mode.SilentMode = !c.silent && !c.reported; // the mode found replaces the one before
        inst.process.arguments = c.commandLine;
        if (c.reported)
            inst.messages.expect(platform::Answer::Yes);
        EXPECT_EQ(GetStartModeIntegrated(inst.context), c.integrated);
        EXPECT_EQ(inst.context.mode.IntegratedMode, c.integrated);
        EXPECT_EQ(inst.context.mode.SilentMode, c.silent);
        EXPECT_EQ(GetPathLogfile(inst.context), c.logfile);
        EXPECT_TRUE(inst.messages.allAnswered());
        EXPECT_EQ(inst.read("QELcfglog.txt"),
                  c.reported ? "Fehler in ServoView / ServoView_Config / ReadCommand (Nr. 5) :Invalid procedure call "
                               "or argument\r\n" : QByteArray());
    }
}
