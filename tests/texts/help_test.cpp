#include "support/installation.h"
#include "texts/help.h"
#include "window/kalvia.h"

#include <QCheckBox>

#include <gtest/gtest.h>

using platform::Answer;

namespace {

class Help : public ::testing::Test {
protected:
    Help() { help.HelpMode = true; }

    texts::Control withHelp(int number) const
    {
        texts::Control c;
        c.name = QStringLiteral("Header");
        c.helpNumber = number;
        return c;
    }
    // The text of the one box shown since the last call.
    QString shownText()
    {
        EXPECT_EQ(inst.messages.boxes.size(), 1u);
        const QString text = inst.messages.boxes.empty() ? QStringLiteral("<none>") : inst.messages.boxes.back().text;
        inst.messages.boxes.clear();
        return text;
    }

    support::Installation inst;
    texts::HelpState help;
};

// A slot option box wired as the window wires it: every change of value runs the click handler,
// which in help mode hands the box to the help and stores nothing.
struct OptionBox {
    OptionBox(environment::Context& ctx, texts::HelpState& help, texts::Control entry)
        : control(std::move(entry))
    {
        control.widget = &box;
        QObject::connect(&box, &QCheckBox::stateChanged, &box, [&ctx, &help, this] {
            ++clicks;
            if (help.HelpMode)
                texts::CheckBoxHelpInfo(ctx, help, control);
            else
                stored = box.isChecked();
        });
    }

    QCheckBox box;
    texts::Control control;
    bool stored = false;
    int clicks = 0;
};

} // namespace

TEST_F(Help, MarkersInAnyCaseBecomeLineBreaks)
{
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"first<CRLF>second", "first\r\nsecond"},
        {"before<CRLF><CRLF>after", "before\r\n\r\nafter"},
        {"lower<crlf>case<CrLf>mixed", "lower\r\ncase\r\nmixed"},
        {"<CRLF>lead and trail<CRLF>", "\r\nlead and trail\r\n"},
        // Upper-casing "ß" gives two letters; the cut must not move.
        {"Maß und Größe<CRLF>zweite Zeile", "Maß und Größe\r\nzweite Zeile"},
        {"unfinished <CRLF", "unfinished <CRLF"},
        {"0", "0"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        help.HelpTexts[13] = QString::fromUtf8(c.stored);
        inst.messages.expect(Answer::Ok);
        texts::ShowHelpInfo(inst.context, help, withHelp(13));
        EXPECT_EQ(shownText(), QString::fromUtf8(c.shown));
    }
}

TEST_F(Help, BoxIsTitledInfoAndEmptyForControlsWithoutHelpText)
{
    for (int number : {0, 101, -1}) {
        SCOPED_TRACE(number);
        help.HelpTexts[1] = QStringLiteral("not this one");
        inst.messages.expect(Answer::Ok);
        texts::ShowHelpInfo(inst.context, help, withHelp(number));
        ASSERT_EQ(inst.messages.boxes.size(), 1u);
        EXPECT_EQ(inst.messages.boxes[0].title, QStringLiteral("Info:"));
        EXPECT_EQ(inst.messages.boxes[0].icon, platform::Icon::Information);
        EXPECT_EQ(inst.messages.boxes[0].buttons, platform::Buttons::Ok);
        EXPECT_EQ(shownText(), QString());
    }
}

TEST_F(Help, FailingBoxIsNeitherReportedNorPassedOn)
{
    inst.messages.expectFailure();
    EXPECT_NO_THROW(texts::ShowHelpInfo(inst.context, help, withHelp(2)));
    EXPECT_FALSE(inst.exists(QStringLiteral("QELcfglog.txt")));
}

TEST_F(Help, OutsideHelpModeNothingIsShownAndTheClickStands)
{
    help.HelpMode = false;
    help.HelpTexts[18] = QStringLiteral("Zusatz");
    OptionBox option(inst.context, help, withHelp(18));
    texts::ShowHelpInfo(inst.context, help, withHelp(18));
    option.box.click();
    EXPECT_TRUE(option.box.isChecked());
    EXPECT_TRUE(option.stored);
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(Help, OptionBoxClickedInHelpModeIsUndoneAndShowsItsHelpText)
{
    window::Kalvia w(inst.context);
    const texts::Control* zusatz5 = w.control(QStringLiteral("CheckZusatz"), 5);
    ASSERT_NE(zusatz5, nullptr);
    help.HelpTexts[14] = QStringLiteral("Diagnose");
    help.HelpTexts[18] = QStringLiteral("Schalter<CRLF>Zeichnungsnummer");

    for (const bool ticked : {false, true}) {
        SCOPED_TRACE(ticked);
        help.HelpMode = false;
        OptionBox option(inst.context, help, *zusatz5);
        option.box.setChecked(ticked);
        help.HelpMode = true;
        // Twice in a row: the first click must leave nothing behind that swallows the second.
        for (int click = 1; click <= 2; ++click) {
            option.clicks = 0;
            inst.messages.expect(Answer::Ok);
            option.box.click();
            EXPECT_EQ(option.box.isChecked(), ticked);
            EXPECT_EQ(option.stored, ticked);
            EXPECT_EQ(option.clicks, 2); // the click and the reset
            EXPECT_FALSE(help.HelpReentry);
            EXPECT_EQ(shownText(), QStringLiteral("Schalter\r\nZeichnungsnummer"));
        }
    }
}

TEST_F(Help, ResetThatRaisesNoNotificationDoesNotSwallowTheNextClick)
{
    help.HelpTexts[14] = QStringLiteral("Diagnose");
    help.HelpTexts[18] = QStringLiteral("Zusatz");
    // A box whose change of value reaches no handler.
    QCheckBox quiet;
    texts::Control quietEntry = withHelp(14);
    quietEntry.widget = &quiet;
    quiet.setChecked(true); // as the click left it
    inst.messages.expect(Answer::Ok);
    texts::CheckBoxHelpInfo(inst.context, help, quietEntry);
    EXPECT_FALSE(quiet.isChecked());
    EXPECT_EQ(shownText(), QStringLiteral("Diagnose"));

    OptionBox option(inst.context, help, withHelp(18));
    inst.messages.expect(Answer::Ok);
    option.box.click();
    EXPECT_FALSE(option.box.isChecked());
    EXPECT_EQ(shownText(), QStringLiteral("Zusatz"));
}
