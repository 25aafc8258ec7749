#include "platform/cp1252.h"
#include "support/installation.h"
#include "texts/help.h"
#include "texts/tooltiptexts.h"
#include "window/kalvia.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

using platform::Answer;

namespace {

const QString kFile = QStringLiteral("ServoTool/ServoView_Config.ini");

// The language file a start without one writes, as reviewed.
QByteArray golden() { return support::readFile(QStringLiteral(KALVIA_TEXTS_DATA_DIR "/no-language-file.ref")); }

// The captions of all controls that have one, in registry order.
QStringList captions(const texts::ControlRegistry& controls)
{
    QStringList list;
    for (const texts::Control& c : controls)
        if (auto* label = qobject_cast<QLabel*>(c.widget))
            list << label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(c.widget))
            list << button->text();
    return list;
}

class LanguageTexts : public ::testing::Test {
protected:
    void load() { texts::LoadToolTipTexts(inst.context, controls, w.help()); }
    QByteArray file() const { return inst.read(kFile); }
    QStringList lines() const { return platform::fromCp1252(file()).split(QStringLiteral("\r\n")); }

    support::Installation inst;
    window::Kalvia w{inst.context};
    texts::ControlRegistry controls = w.controls();
};

} // namespace

TEST_F(LanguageTexts, NoLanguageFileGetsEveryKeyInGermanOnce)
{
    load();
    EXPECT_EQ(file(), golden());

    // A second start finds every key: it writes nothing and reads the captions back, umlauts included.
    window::Kalvia again(inst.context);
    texts::ControlRegistry againControls = again.controls();
    texts::LoadToolTipTexts(inst.context, againControls, again.help());
    EXPECT_EQ(file(), golden());
    EXPECT_EQ(captions(againControls), captions(controls));
}

TEST_F(LanguageTexts, LanguageWithoutSectionGetsEveryKeyAsZero)
{
    inst.writeIni(kFile, QStringLiteral("[Language]\nLanguage=1033\n"));
    const QStringList designed = captions(controls);
    load();
    EXPECT_EQ(captions(controls), designed);
    // The keys of the German section as a section of its own, each with the placeholder.
    QStringList expected = QString::fromLatin1(golden()).split(QStringLiteral("\r\n"));
    expected[1] = QStringLiteral("Language=1033");
    expected[2] = QStringLiteral("[1033]");
    for (qsizetype i = 3; i < expected.size() - 1; ++i) // the file ends with a line end
        expected[i] = expected[i].left(expected[i].indexOf(QLatin1Char('=')) + 1) + QLatin1Char('0');
    EXPECT_EQ(lines(), expected);
}

TEST_F(LanguageTexts, TextsInTheFileAreAppliedAndKept)
{
    // "–" (0x96) and "ü" are Windows-1252 on disk.
    inst.writeIni(kFile, "[Language]\nLanguage=1031\n[1031]\nCaption_Header_=Servo – Übersicht\nCaption_MitVorauswahl_=\n"
                         "TTT_ComboServo12_=Servo des Platzes 12\nTTT_ComboServo13_=0\n"
                         "Help13=Servo wählen<CRLF>oder eintippen\nHelp12=\n");
    load();
    EXPECT_EQ(w.Header->text(), QStringLiteral("Servo – Übersicht"));
    EXPECT_EQ(w.MitVorauswahl->text(), QStringLiteral("Mit Vorauswahl"));
    EXPECT_EQ(w.ComboServo[12]->toolTip(), QStringLiteral("Servo des Platzes 12"));
    EXPECT_TRUE(w.ComboServo[13]->toolTip().isEmpty());
    // Help texts are kept as stored, markers included.
    EXPECT_EQ(w.help().HelpTexts[13], QStringLiteral("Servo wählen<CRLF>oder eintippen"));
    // Texts stay as they were; an empty German caption gets the designed one, an empty help text the placeholder.
    EXPECT_EQ(lines().mid(3, 6),
              QStringList({"Caption_Header_=Servo – Übersicht", "Caption_MitVorauswahl_=Mit Vorauswahl",
                           "TTT_ComboServo12_=Servo des Platzes 12", "TTT_ComboServo13_=0",
                           "Help13=Servo wählen<CRLF>oder eintippen", "Help12=0"}));
}

TEST(Language, EmptyCodeIsTakenAsGermanAndWrittenDown)
{
    support::Installation inst;
    inst.writeIni(kFile, QStringLiteral("[language]\nLANGUAGE=\n"));
    EXPECT_EQ(texts::GetLanguage(inst.context), QStringLiteral("1031"));
    EXPECT_EQ(inst.read(kFile), "[language]\r\nLANGUAGE=1031\r\n");
}

TEST(Help, InfoBoxTurnsMarkersIntoLineBreaks)
{
    const struct { int number; const char* stored; const char* shown; } cases[] = {
        {13, "first<CRLF>second", "first\r\nsecond"}, {13, "lower<crlf>case<CrLf>mixed", "lower\r\ncase\r\nmixed"},
        {13, "<CRLF><CRLF>lead and trail<CRLF>", "\r\n\r\nlead and trail\r\n"},
        // Upper-casing "ß" gives two letters; the cut must not move.
        {13, "Maß und Größe<CRLF>zweite Zeile", "Maß und Größe\r\nzweite Zeile"},
        {13, "unfinished <CRLF", "unfinished <CRLF"},
        // Controls without help (0) or with a number outside the texts get an empty box.
        {0, "not this", ""}, {101, "not this", ""}, {-1, "not this", ""},
    };
    support::Installation inst;
    texts::HelpState help;
    help.HelpMode = true;
    help.HelpTexts[1] = QStringLiteral("not this");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        help.HelpTexts[13] = QString::fromUtf8(c.stored);
        inst.messages.boxes.clear();
        inst.messages.expect(Answer::Ok);
        texts::ShowHelpInfo(inst.context, help, {QStringLiteral("Header"), -1, {}, c.number, {}, nullptr});
        EXPECT_EQ(inst.messages.boxes.at(0).text, QString::fromUtf8(c.shown));
        EXPECT_EQ(inst.messages.boxes.at(0).title, QStringLiteral("Info:"));
    }
}
