#include "environment/ini.h"
#include "support/installation.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

using environment::LoadIniBoolean;
using environment::LoadIniInteger;
using environment::LoadIniString;
using environment::SaveIni;
using platform::Answer;

namespace {

const QString kFile = QStringLiteral("parameter/Program.ini");

QString notFoundText(const QString& file, const char* section, const char* entry)
{
    return QStringLiteral("File '%1' or Section [%2] or Entry '%3' not found")
        .arg(file, QString::fromLatin1(section), QString::fromLatin1(entry));
}

} // namespace

TEST(IniAccess, StringReaderCutsAt254AndReportsEmptyOrMissingOnlyWhenAsked)
{
    support::Installation inst;
    const QString file = inst.path(kFile);
    inst.writeIni(kFile, QStringLiteral("[S]\nname=  Filler  \nempty=\nlong=%1\n").arg(QString(300, QLatin1Char('z'))));
    auto& ctx = inst.context;

    EXPECT_EQ(LoadIniString(ctx, QStringLiteral("S"), QStringLiteral("name"), file, true, true), QStringLiteral("Filler"));
    EXPECT_EQ(LoadIniString(ctx, QStringLiteral("S"), QStringLiteral("long"), file, true, false),
              QString(254, QLatin1Char('z')));
    // Missing file, section, entry and an empty value all read as "" and say nothing unless asked.
    for (const auto& [section, entry, where] :
         {std::tuple{"S", "none", file}, std::tuple{"T", "name", file}, std::tuple{"S", "empty", file},
          std::tuple{"S", "name", inst.path(QStringLiteral("parameter/missing.ini"))}}) {
        SCOPED_TRACE(std::string(section) + "/" + entry);
        EXPECT_EQ(LoadIniString(ctx, QString::fromLatin1(section), QString::fromLatin1(entry), where, true, false), QString());
        EXPECT_TRUE(inst.messages.boxes.empty());
        inst.messages.expect(Answer::Ok);
        EXPECT_EQ(LoadIniString(ctx, QString::fromLatin1(section), QString::fromLatin1(entry), where, false, true), QString());
        ASSERT_EQ(inst.messages.boxes.size(), 1u);
        const platform::MessageBox box = inst.messages.boxes.front();
        EXPECT_EQ(box.text, notFoundText(where, section, entry));
        EXPECT_EQ(box.title, QStringLiteral("ServoView_Config"));
        EXPECT_EQ(box.icon, platform::Icon::Critical);
        inst.messages.boxes.clear();
    }
}

TEST(IniAccess, BooleanReaderAcceptsTrueAndFalseInAnyLetterCase)
{
    const struct {
        const char* value; // nullptr: no entry
        bool expected;
        bool reported;
    } cases[] = {
        {"TRUE", true, false}, {"True", true, false},  {"true", true, false},   {" tRuE ", true, false},
        {"FALSE", false, false}, {"false", false, false}, {"1", false, true},    {"yes", false, true},
        {"", false, true},     {nullptr, false, true}, {"\"true\"", true, false}, {"truex", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "<none>");
        support::Installation inst;
        inst.writeIni(kFile, c.value ? QStringLiteral("[S]\nflag=%1\n").arg(QString::fromLatin1(c.value))
                                     : QStringLiteral("[S]\n"));
        const QString file = inst.path(kFile);
        EXPECT_EQ(LoadIniBoolean(inst.context, QStringLiteral("S"), QStringLiteral("flag"), file, true, false), c.expected);
        if (c.reported)
            inst.messages.expect(Answer::Ok);
        EXPECT_EQ(LoadIniBoolean(inst.context, QStringLiteral("S"), QStringLiteral("flag"), file, true, true), c.expected);
        EXPECT_EQ(inst.messages.boxes.size(), c.reported ? 1u : 0u);
    }
}

TEST(IniAccess, IntegerReaderGivesMinusOneWhenMissingAndReportsOverflow)
{
    support::Installation inst;
    inst.writeIni(kFile, QStringLiteral("[S]\nn=12\ntext=abc\nneg=-32768\nbig=32768\nminus=-1\n"));
    const QString file = inst.path(kFile);
    auto& ctx = inst.context;
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("n"), file, true, true), 12);
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("text"), file, true, true), 0);
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("neg"), file, true, true), -32768);
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("missing"), file, true, false), -1);
    EXPECT_TRUE(inst.messages.boxes.empty());

    // A stored -1 cannot be told from a missing entry.
    inst.messages.expect(Answer::Ok);
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("minus"), file, true, true), -1);
    EXPECT_EQ(inst.messages.boxes.back().text, notFoundText(file, "S", "minus"));

    // Outside 16 bits: reported as an overflow under the reader's name, and 0 when resumed.
    inst.messages.expect(Answer::Yes);
    EXPECT_EQ(LoadIniInteger(ctx, QStringLiteral("S"), QStringLiteral("big"), file, true, true), 0);
    EXPECT_EQ(inst.messages.boxes.size(), 2u);
    EXPECT_TRUE(inst.messages.boxes.back().text.startsWith(QStringLiteral("Unexpected error!\n\rOverflow")));
    EXPECT_EQ(inst.read(QStringLiteral("QELcfglog.txt")),
              QByteArray("Fehler in ServoView / ServoView_Config / LoadIniInteger (Nr. 6) :Overflow\r\n"));
}

TEST(IniAccess, SaveIniWritesEachTypeInItsTextForm)
{
    // A locale with a decimal comma must not change the written form.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        const char* tag;
        QVariant value;
        const char* text;
    } cases[] = {
        {"true", true, "true"},
        {"false", false, "false"},
        {"int", 12, "12"},
        {"negative-int", -3, "-3"},
        {"int16", QVariant::fromValue<qint16>(-32768), "-32768"},
        {"byte", QVariant::fromValue<uchar>(200), "200"},
        {"double", 1.5, "1.5"},
        {"float", QVariant::fromValue(0.1f), "0.1"},
        {"large-double", 1e20, "1E+20"},
        {"string", QStringLiteral(" as given "), " as given "},
    };
    support::Installation inst;
    const QString file = inst.path(kFile);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        EXPECT_NE(SaveIni(inst.context, c.value, QStringLiteral("S"), QString::fromLatin1(c.tag), file), 0);
        EXPECT_TRUE(inst.read(kFile).contains(QByteArray("\r\n") + c.tag + "=" + c.text + "\r\n"));
    }
    QLocale::setDefault(previous);
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(IniAccess, SaveIniOfAnotherTypeSaysSoAndWritesAnEmptyEntry)
{
    support::Installation inst;
    inst.writeIni(kFile, QStringLiteral("[S]\nwhen=old\n"));
    const QString file = inst.path(kFile);
    for (const QVariant& value : {QVariant(QDate(2024, 1, 2)), QVariant(), QVariant(QStringList{QStringLiteral("a")})}) {
        inst.messages.expect(Answer::Ok);
        EXPECT_NE(SaveIni(inst.context, value, QStringLiteral("S"), QStringLiteral("when"), file), 0);
        EXPECT_EQ(inst.messages.boxes.back().text, QStringLiteral("Ini Save:  wrong data type"));
        EXPECT_EQ(inst.read(kFile), QByteArray("[S]\r\nwhen=\r\n"));
    }
    EXPECT_EQ(inst.messages.boxes.size(), 3u);
}

TEST(IniAccess, FailedSaveReturnsZeroWithoutAMessage)
{
    support::Installation inst;
    EXPECT_EQ(SaveIni(inst.context, 1, QStringLiteral("S"), QStringLiteral("k"), inst.path(QStringLiteral("none/x.ini"))), 0);
    EXPECT_EQ(SaveIni(inst.context, 1, QStringLiteral("S"), QStringLiteral("k"), QString()), 0);
    EXPECT_TRUE(inst.messages.boxes.empty());
    EXPECT_FALSE(inst.exists(QStringLiteral("QELcfglog.txt")));
}
