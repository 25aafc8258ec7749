#include "editedwindow.h"

#include "window/colours.h"

#include <QPushButton>

using platform::Answer;

namespace {

class SyntaxCheck : public editing::EditedWindow {
protected:
    // Presses OK; returns the program's exit code, or -1 while it runs on.
    int pressOk()
    {
        try {
            w->CommandOK_Click();
        } catch (const support::ProgramEnded& ended) {
            return ended.code;
        }
        return -1;
    }

    // Per message box: the selected tab and the rows shown red while it was up.
    struct Seen {
        int tab;
        QList<int> redRows;
    };
    void watchBoxes()
    {
        messages.onShow = [this](const platform::MessageBox&) {
            Seen s{w->TabStripMachine->currentIndex(), {}};
            for (int r = 1; r <= 50; ++r) {
                if (window::backColor(w->ComboServo[r]) == window::kRed)
                    s.redRows << r;
            }
            seen.push_back(s);
        };
    }

    std::vector<Seen> seen;
};

} // namespace

TEST_F(SyntaxCheck, EachFaultyMachineGetsOneMessageWithItsRowsRedAndNothingIsWritten)
{
    showActive();
    watchBoxes();
    // Capper: slots 3 and 5 hold servo 12 in two variants, slot 4 was never given a servo.
    clickTab(1);
    type(w->ComboNrServos, QStringLiteral("5"));
    leave();
    type(w->ComboServo[3], QStringLiteral("12-2"));
    type(w->ComboServo[5], QStringLiteral("12-1"));
    leave();
    // Labeller: two slots never given a servo are one fault of the machine.
    clickTab(2);
    type(w->ComboNrServos, QStringLiteral("2"));
    leave();
    clickTab(0);
    const QByteArray before = inst.read(QStringLiteral("parameter/Program.ini"));
    std::array<QColor, 51> colours{};
    for (int r = 1; r <= 50; ++r)
        colours[r] = window::backColor(w->ComboServo[r]);

    inst.messages.expect(Answer::Ok);
    inst.messages.expect(Answer::Ok);
    EXPECT_EQ(pressOk(), -1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(inst.messages.boxes[0].text, QStringLiteral("Falscher Servotyp oder doppelte Belegung"));
    EXPECT_EQ(seen[0].tab, 1);
    EXPECT_EQ(seen[0].redRows, QList<int>({1, 3, 4, 5})); // 12-1 in slot 1 as well
    EXPECT_EQ(seen[1].tab, 2);
    EXPECT_EQ(seen[1].redRows, QList<int>({1, 2}));

    EXPECT_EQ(w->TabStripMachine->currentIndex(), 2);
    for (int r = 1; r <= 50; ++r)
        EXPECT_NE(window::backColor(w->ComboServo[r]), window::kRed) << r;
    EXPECT_EQ(window::backColor(w->ComboServo[1]), window::kWhite);
    EXPECT_EQ(window::backColor(w->ComboServo[3]), window::buttonFace());
    EXPECT_FALSE(w->closingRunStarted());
    EXPECT_TRUE(w->CommandOK->isEnabled());
    EXPECT_EQ(inst.read(QStringLiteral("parameter/Program.ini")), before);
}

TEST_F(SyntaxCheck, TextRefusedOnTheShownTabFailsItsMachine)
{
    showActive();
    watchBoxes();
    inst.messages.expect(Answer::Ok); // refused on leaving
    type(w->ComboServo[2], QStringLiteral("44"));
    leave();
    inst.messages.expect(Answer::Ok);
    EXPECT_EQ(pressOk(), -1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].tab, 0);
    EXPECT_EQ(seen[1].redRows, QList<int>{2});
}

TEST_F(SyntaxCheck, OkWritesTheChoicesOfEveryMachine)
{
    showActive();
    type(w->ComboServo[3], QStringLiteral("12-1"));
    type(w->ComboServo[2], QStringLiteral("7"));
    leave();
    w->Check2ndDiagPage[3]->click();
    clickTab(2);
    type(w->ComboNrServos, QStringLiteral("1"));
    leave();
    type(w->ComboServo[1], QStringLiteral("5"));
    clickTab(1);
    w->CheckZusatz[2]->click();
    EXPECT_EQ(pressOk(), 0);

    const QString ini = QString::fromLatin1(inst.read(QStringLiteral("parameter/Program.ini"))).remove(QLatin1Char('\r'));
    for (const char* expected :
         {"[Machine1]\nMachineName=Filler\nNumberOfServos=3\nServo1=3\nExtServo1=true\nServo2=7\nServoPic2=1\n"
          "Diag2Servo2=true\nServo3=12\n",
          "Diag2Servo3=true\nExtServo3=false\nServoPic3=1\n",
          "[Machine2]\nMachineName=Capper\nNumberOfServos=2\nServo1=12\nServo2=5\n",
          "ExtServo2=true\n",
          "[Machine3]\nMachineName=Labeller\nNumberOfServos=1\nServo1=5\nDiag2Servo1=false\nExtServo1=false\nServoPic1=1\n"})
        EXPECT_TRUE(ini.contains(QString::fromLatin1(expected))) << expected << "\nin\n" << ini.toStdString();
}
