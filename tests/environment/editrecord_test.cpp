#include "environment/editrecord.h"
#include "support/installation.h"

#include <gtest/gtest.h>

TEST(EditRecord, RecordsVersionModeAndEditorCode)
{
    // The editor code: each character but "-" and "_" as its hexadecimal code-page value plus 5.
    const struct { platform::Version version; bool integrated; const char* environment; const char* info; } cases[] = {
        {{2, 1, 7}, false, "USERNAME=abc", "S_Prog=2.1.7 - Standalone\r\nS_Editor=666768"},
        {{10, 20, 300}, true, "X=0", "S_Prog=10.20.300 - Integrated\r\nS_Editor=35"},
        {{1, 0, 0}, false, "X=a-b_c", "S_Prog=1.0.0 - Standalone\r\nS_Editor=666768"},
        {{1, 0, 0}, false, "X=", "S_Prog=1.0.0 - Standalone\r\nS_Editor="},
        {{1, 0, 0}, false, "X=a=b", "S_Prog=1.0.0 - Standalone\r\nS_Editor=664267"},
        {{1, 0, 0}, false, "X=\u00fc", "S_Prog=1.0.0 - Standalone\r\nS_Editor=101"},
        {{1, 0, 0}, false, "X=\u4e2d", "S_Prog=1.0.0 - Standalone\r\nS_Editor=44"}, // outside the code page: "?"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.environment);
        support::Installation inst;
        inst.writeIni("ServoView/ServoView.cfg", "; component\n[Info]\nS_Prog=old\nS_Editor=old\n");
        inst.process.ver = c.version;
        inst.process.environmentEntry = c.environment;
        inst.context.mode.IntegratedMode = c.integrated;
        environment::WriteEditInfo(inst.context);
        EXPECT_EQ(inst.read("ServoView/ServoView.cfg"), QByteArray("; component\r\n[Info]\r\n") + c.info + "\r\n");
    }
}
