#include "platform/cp1252.h"
#include "platform/inistore.h"
#include "support/installation.h"
#include "texts/tooltiptexts.h"
#include "window/kalvia.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<QString, QString>>;

// The entries of one section of an INI text, in file order.
Entries sectionEntries(const QByteArray& bytes, const QString& section)
{
    Entries entries;
    bool inSection = false;
    for (const QString& line : platform::fromCp1252(bytes).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0)
            entries.emplace_back(line.left(eq), line.mid(eq + 1));
    }
    return entries;
}

QByteArray expectedFile(const char* name)
{
    QFile file(QStringLiteral(KALVIA_TEXTS_DATA_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("missing test data ") + name);
    return file.readAll();
}

bool hasCaption(const texts::Control& c)
{
    return c.kind == texts::ControlKind::Label || c.kind == texts::ControlKind::CheckBox ||
           c.kind == texts::ControlKind::CommandButton;
}

QString captionOf(const texts::Control& c)
{
    if (auto* label = qobject_cast<QLabel*>(c.widget))
        return label->text();
    return static_cast<QAbstractButton*>(c.widget)->text();
}

class LanguageTexts : public ::testing::Test {
protected:
    static inline const QString kFile = QStringLiteral("ServoTool/ServoView_Config.ini");

    void load() { texts::LoadToolTipTexts(inst.context, controls, w.help()); }
    QByteArray file() const { return inst.read(kFile); }
    // The value of a key, or "<missing>".
    QString value(const QString& section, const QString& key) const
    {
        for (const auto& [k, v] : sectionEntries(file(), section))
            if (k == key)
                return v;
        return QStringLiteral("<missing>");
    }
    texts::Control& entry(const QString& name, int index = -1)
    {
        for (texts::Control& c : controls)
            if (c.name == name && c.index == index)
                return c;
        throw std::runtime_error("no control " + name.toStdString());
    }

    support::Installation inst;
    window::Kalvia w{inst.context};
    texts::ControlRegistry controls = w.controls();
};

} // namespace

TEST_F(LanguageTexts, NoLanguageFileGetsAGermanSectionListingEveryKeyAndASecondStartWritesNothing)
{
    load();
    EXPECT_EQ(file(), expectedFile("no-language-file.ref"));
    // A control array of a single member is keyed like an ordinary control.
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Caption_LabelSeite_NoTTT")), QStringLiteral("Anzahl Seiten"));

    // The designed captions come back from the file as they were written, umlauts included.
    const QByteArray first = file();
    window::Kalvia again(inst.context);
    texts::ControlRegistry againControls = again.controls();
    texts::LoadToolTipTexts(inst.context, againControls, again.help());
    EXPECT_EQ(file(), first);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (hasCaption(controls[i])) {
            EXPECT_EQ(captionOf(againControls[i]), captionOf(controls[i])) << controls[i].name.toStdString();
        }
    }
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(LanguageTexts, LanguageWithoutSectionKeepsTheDesignedCaptionsAndListsEveryKeyWithZero)
{
    inst.writeIni(kFile, QStringLiteral("[Language]\nLanguage=1033\n"));
    std::vector<QString> designed;
    for (const texts::Control& c : controls)
        designed.push_back(hasCaption(c) ? captionOf(c) : QString());
    load();

    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (hasCaption(controls[i])) {
            EXPECT_EQ(captionOf(controls[i]), designed[i]) << controls[i].name.toStdString();
        }
    }
    // The same keys as a German section, each with the placeholder.
    Entries expected = sectionEntries(expectedFile("no-language-file.ref"), QStringLiteral("1031"));
    for (auto& [key, v] : expected)
        v = QStringLiteral("0");
    EXPECT_EQ(sectionEntries(file(), QStringLiteral("1033")), expected);
    EXPECT_TRUE(sectionEntries(file(), QStringLiteral("1031")).empty());
}

TEST_F(LanguageTexts, TextsInTheFileAreAppliedAndKept)
{
    // "–" (0x96) and "ü" are Windows-1252 on disk.
    inst.writeIni(kFile, QStringLiteral("[Language]\nLanguage=1031\n[1031]\n"
                                        "Caption_Header_=Servo – Übersicht\n"
                                        "Caption_MitVorauswahl_=\n"
                                        "TTT_ComboServo12_=Servo des Platzes 12\n"
                                        "TTT_ComboServo13_=0\n"
                                        "Help13=Servo wählen<CRLF>oder eintippen\n"
                                        "Help12=\n"));
    load();

    EXPECT_EQ(w.Header->text(), QStringLiteral("Servo – Übersicht"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Caption_Header_")), QStringLiteral("Servo – Übersicht"));
    // An empty German caption is filled with the designed one.
    EXPECT_EQ(w.MitVorauswahl->text(), QStringLiteral("Mit Vorauswahl"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Caption_MitVorauswahl_")), QStringLiteral("Mit Vorauswahl"));
    EXPECT_EQ(w.ComboServo[12]->toolTip(), QStringLiteral("Servo des Platzes 12"));
    EXPECT_TRUE(w.ComboServo[13]->toolTip().isEmpty());
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_ComboServo13_")), QStringLiteral("0"));
    // Help texts are kept as stored, markers included; an empty one becomes the placeholder.
    EXPECT_EQ(w.help().HelpTexts[13], QStringLiteral("Servo wählen<CRLF>oder eintippen"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Help12")), QStringLiteral("0"));
    EXPECT_TRUE(w.help().HelpTexts[3].isEmpty());
}

TEST_F(LanguageTexts, TagWithNotttInAnyCaseSuppressesTheTooltip)
{
    entry(QStringLiteral("Header")).tag = QStringLiteral("nottt");
    entry(QStringLiteral("ComboNrServos")).tag = QStringLiteral("x-NoTtT-y");
    entry(QStringLiteral("Label1")).tag = QStringLiteral("NoTT");
    inst.writeIni(kFile, QStringLiteral("[Language]\nLanguage=1031\n[1031]\nTTT_Header_nottt=Kopfzeile\n"));
    load();

    EXPECT_TRUE(w.Header->toolTip().isEmpty());
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Caption_Header_nottt")), QStringLiteral("Servo - Konfiguration Servos"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_ComboNrServos_x-NoTtT-y")), QStringLiteral("<missing>"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_Label1_NoTT")), QStringLiteral("0"));
}

TEST_F(LanguageTexts, FailureWithOneControlSkipsOnlyItsRemainingTexts)
{
    entry(QStringLiteral("Header")).helpNumber = 101;       // outside the help texts
    entry(QStringLiteral("LineW"), 0).tag = QString();     // a line has no help number
    load();

    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("Caption_Header_")), QStringLiteral("Servo - Konfiguration Servos"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_Header_")), QStringLiteral("<missing>"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_LineW0_")), QStringLiteral("<missing>"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_ServoPic_")), QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("1031"), QStringLiteral("TTT_LabelBez0_")), QStringLiteral("0"));
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(Language, CodeIsTakenAsStoredAndGermanWhenAbsent)
{
    const struct {
        const char* file; // nullptr: no language file
        const char* code;
        bool written;
    } cases[] = {
        {nullptr, "1031", true},
        {"[Language]\nLanguage=\n", "1031", true},
        {"[language]\nLANGUAGE=1033\n", "1033", false},
        {"[Language]\nLanguage= en-GB \n", "en-GB", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        support::Installation inst;
        const QString rel = QStringLiteral("ServoTool/ServoView_Config.ini");
        if (c.file)
            inst.writeIni(rel, QString::fromUtf8(c.file));
        const QByteArray before = inst.read(rel);
        EXPECT_EQ(texts::GetLanguage(inst.context), QString::fromUtf8(c.code));
        if (c.written) {
            QString stored;
            const int n = platform::GetPrivateProfileStringA(QStringLiteral("Language"), QStringLiteral("Language"),
                                                             QString(), stored, 255, inst.path(rel));
            EXPECT_EQ(stored.left(n), QStringLiteral("1031"));
        } else {
            EXPECT_EQ(inst.read(rel), before);
        }
    }
}

TEST(DemoLanguageFile, IsCompleteInGermanAndEnglish)
{
    QFile demo(QStringLiteral(KALVIA_DEMO_LANGUAGE_FILE));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QByteArray german = demo.readAll();
    QByteArray english = german;
    english.replace("\r\nLanguage=1031\r\n", "\r\nLanguage=1033\r\n");
    ASSERT_NE(english, german);

    const struct {
        QByteArray file;
        const char* header;
        const char* okTip;
    } cases[] = {
        {german, "Servo - Konfiguration Servos", "Speichern und beenden"},
        {english, "Servo - Servo configuration", "Save and close"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        support::Installation inst;
        const QString rel = QStringLiteral("ServoTool/ServoView_Config.ini");
        inst.write(rel, c.file);
        window::Kalvia w(inst.context);
        texts::ControlRegistry controls = w.controls();
        texts::LoadToolTipTexts(inst.context, controls, w.help());
        // Every key is there: the start writes nothing.
        EXPECT_EQ(inst.read(rel), c.file);
        EXPECT_EQ(w.Header->text(), QString::fromUtf8(c.header));
        EXPECT_EQ(w.CommandOK->toolTip(), QString::fromUtf8(c.okTip));
        for (const texts::Control& control : controls) {
            if (control.helpNumber > 0) {
                EXPECT_FALSE(w.help().HelpTexts[control.helpNumber].isEmpty() ||
                             w.help().HelpTexts[control.helpNumber] == QLatin1String("0"))
                    << control.name.toStdString();
            }
        }
    }
}
