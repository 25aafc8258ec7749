#include "environment/ini.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

TEST(IniAccess, StringReaderTrimsAndCutsAndGivesEmptyWhenMissing)
{
    support::Installation inst;
    inst.writeIni("parameter/Program.ini", "[S]\nname=  Filler  \nempty=\nlong=" + QString(300, u'z') + "\n");
    const QString file = inst.path("parameter/Program.ini");
    EXPECT_EQ(LoadIniString(inst.context, "S", "name", file), "Filler");
    EXPECT_EQ(LoadIniString(inst.context, "S", "long", file), QString(254, u'z'));
    for (const auto& [section, entry, where] : {std::tuple{"S", "none", file}, std::tuple{"T", "name", file},
                                                std::tuple{"S", "empty", file}, std::tuple{"S", "name", file + 'x'}})
        EXPECT_EQ(LoadIniString(inst.context, section, entry, where), QString());
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(IniAccess, BooleanReaderTakesTrueOrFalse)
{
    const struct { const char* value; bool expected; } cases[] = { // value nullptr: no entry
        {"TRUE", true}, {" tRuE ", true}, {"\"true\"", true}, {"False", false}, {"1", false},
        {"yes", false}, {"truex", false}, {"", false},          {nullptr, false},
    };
    for (const auto& c : cases) {
        support::Installation inst;
        inst.writeIni("parameter/Program.ini", c.value ? QStringLiteral("[S]\nflag=%1\n").arg(c.value) : "[S]\n");
        EXPECT_EQ(LoadIniBoolean(inst.context, "S", "flag", inst.path("parameter/Program.ini")), c.expected)
            << (c.value ? c.value : "<none>");
    }
}

TEST(IniAccess, IntegerReaderReportsOverflow)
{
    support::Installation inst;
    inst.writeIni("parameter/Program.ini", "[S]\nneg=-32768\nbig=32768\n");
    const QString file = inst.path("parameter/Program.ini");
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "neg", file), -32768);
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "missing", file), -1);
    // Beyond 16 bits: an overflow under the reader's name naming the entry, 0 when resumed.
    inst.messages.expect(platform::Answer::Yes);
    EXPECT_EQ(LoadIniInteger(inst.context, "S", "big", file), 0);
    EXPECT_EQ(inst.read("QELcfglog.txt"), "Fehler in ServoView / ServoView_Config / LoadIniInteger (Nr. 6) :Overflow: entry "
                                          "'big' in section [S] of '" + file.toUtf8() + "'\r\n");
}
