#include "environment/ini.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

namespace {

QString notFound(const QString& file, const QString& section, const QString& entry)
{
    return "File '" + file + "' or Section [" + section + "] or Entry '" + entry + "' not found";
}

} // namespace

TEST(IniAccess, StringReaderReportsOnlyWhenAsked)
{
    support::Installation inst;
    inst.writeIni("parameter/Program.ini", "[S]\nname=  Filler  \nempty=\nlong=" + QString(300, u'z') + "\n");
    const QString file = inst.path("parameter/Program.ini");
    EXPECT_EQ(LoadIniString(inst.context, "S", "name", file, IfMissing::Report), "Filler");
    EXPECT_EQ(LoadIniString(inst.context, "S", "long", file, IfMissing::Report), QString(254, u'z'));
    for (const auto& [section, entry, where] : {std::tuple{"S", "none", file}, std::tuple{"T", "name", file},
                                                std::tuple{"S", "empty", file}, std::tuple{"S", "name", file + 'x'}}) {
        EXPECT_EQ(LoadIniString(inst.context, section, entry, where), QString());
        inst.messages.expect(platform::Answer::Ok);
        EXPECT_EQ(LoadIniString(inst.context, section, entry, where, IfMissing::Report), QString());
        EXPECT_EQ(inst.messages.boxes.back().text, notFound(where, section, entry));
    }
    EXPECT_EQ(inst.messages.boxes.size(), 4u);
}

TEST(IniAccess, BooleanReaderTakesTrueOrFalse)
{
    const struct { const char* value; bool expected; bool reported; } cases[] = { // value nullptr: no entry
        {"TRUE", true, false}, {" tRuE ", true, false}, {"\"true\"", true, false}, {"False", false, false},
        {"1", false, true},    {"yes", false, true},    {"truex", false, true},    {"", false, true},
        {nullptr, false, true},
    };
    for (const auto& c : cases) {
        support::Installation inst;
        inst.writeIni("parameter/Program.ini", c.value ? QStringLiteral("[S]\nflag=%1\n").arg(c.value) : "[S]\n");
        if (c.reported)
            inst.messages.expect(platform::Answer::Ok);
        EXPECT_EQ(LoadIniBoolean(inst.context, "S", "flag", inst.path("parameter/Program.ini"), IfMissing::Report), c.expected)
            << (c.value ? c.value : "<none>");
        EXPECT_EQ(inst.messages.boxes.size(), c.reported ? 1u : 0u) << (c.value ? c.value : "<none>");
    }
}

TEST(IniAccess, IntegerReaderReportsMissingAndOverflow)
{
    support::Installation inst;
    inst.writeIni("parameter/Program.ini", "[S]\nneg=-32768\nbig=32768\nminus=-1\n");
    const QString file = inst.path("parameter/Program.ini");
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "neg", file, IfMissing::Report), -32768);
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "missing", file), -1);
    // A stored -1 cannot be told from a missing entry.
    inst.messages.expect(platform::Answer::Ok);
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "minus", file, IfMissing::Report), -1);
    EXPECT_EQ(inst.messages.boxes.back().text, notFound(file, "S", "minus"));
    // Beyond 16 bits: an overflow under the reader's name naming the entry, 0 when resumed.
    inst.messages.expect(platform::Answer::Yes);
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "big", file, IfMissing::Report), 0);
    EXPECT_EQ(inst.read("QELcfglog.txt"), "Fehler in ServoView / ServoView_Config / LoadIniInteger (Nr. 6) :Overflow: entry "
                                          "'big' in section [S] of '" + file.toUtf8() + "'\r\n");
}
