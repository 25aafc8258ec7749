#include "environment/editrecord.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using environment::WriteEditInfo;

namespace {

const QString kCfg = QStringLiteral("ServoView/ServoView.cfg");

} // namespace

TEST(EditRecord, RecordsVersionStartModeAndEditorCode)
{
    const struct {
        const char* tag;
        platform::Version version;
        bool integrated;
        QString environmentEntry;
        const char* prog;
        const char* editor;
    } cases[] = {
        {"standalone", {2, 1, 7}, false, QStringLiteral("USERNAME=abc"), "2.1.7 - Standalone", "666768"},
        {"integrated", {1, 0, 0}, true, QStringLiteral("USERNAME=abc"), "1.0.0 - Integrated", "666768"},
        {"dash-and-underscore-skipped", {1, 0, 0}, false, QStringLiteral("X=a-b_c"), "1.0.0 - Standalone", "666768"},
        {"only-dashes", {1, 0, 0}, false, QStringLiteral("X=-_-"), "1.0.0 - Standalone", ""},
        {"empty-value", {1, 0, 0}, false, QStringLiteral("X="), "1.0.0 - Standalone", ""},
        {"no-environment", {1, 0, 0}, false, QString(), "1.0.0 - Standalone", ""},
        {"only-first-equals-separates", {1, 0, 0}, false, QStringLiteral("X=a=b"), "1.0.0 - Standalone", "664267"},
        {"code-above-250", {1, 0, 0}, false, QStringLiteral("X=\u00fc"), "1.0.0 - Standalone", "101"},
        {"outside-the-code-page", {1, 0, 0}, false, QStringLiteral("X=\u4e2d"), "1.0.0 - Standalone", "44"},
        {"multi-digit-version", {10, 20, 300}, false, QStringLiteral("X=0"), "10.20.300 - Standalone", "35"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        inst.writeIni(kCfg, QStringLiteral("; component\n[Project]\nForMachine1=true\n\n[Info]\nS_Prog=old\nS_Editor=old\n"));
        inst.process.ver = c.version;
        inst.process.environmentEntry = c.environmentEntry;
        inst.context.mode.IntegratedMode = c.integrated;
        WriteEditInfo(inst.context);
        EXPECT_EQ(inst.read(kCfg), QByteArray("; component\r\n[Project]\r\nForMachine1=true\r\n\r\n[Info]\r\nS_Prog=") +
                                       c.prog + "\r\nS_Editor=" + c.editor + "\r\n");
        EXPECT_TRUE(inst.messages.boxes.empty());
    }
}
