#include "editedwindow.h"

#include "window/colours.h"

#include <QCheckBox>
#include <QPushButton>

using editing::EditedWindow;
using platform::Answer;

namespace {

using Editing = EditedWindow;

// Whether the help operations show their "Info:" box yet.
bool helpShowsBoxes()
{
    support::ScriptedMessages answers;
    answers.expect();
    support::FakeProcess process;
    environment::Context probe{process, answers};
    texts::HelpState help;
    help.HelpMode = true;
    QLabel label;
    texts::ShowHelpInfo(probe, help, texts::Control{QStringLiteral("Probe"), -1, {}, 1, texts::ControlKind::Label, &label});
    return !answers.boxes.empty();
}

} // namespace

TEST_F(Editing, LeavingAServoComboStoresWhatTheTextDenotesOrRefusesIt)
{
    showActive();
    const struct {
        const char* typed;
        bool accepted;
        int servo, variant;
        const char* shown;
    } cases[] = {
        {"5", true, 5, 1, "5"},
        {"12", true, 12, 1, "12-1"}, // the first picture of 12
        {"12-2", true, 12, 2, "12-2"},
        {" 7-1", true, 7, 1, "7"},
        {"7-4", true, 7, 1, "7"}, // 7 has one picture: the slot takes that one
        {"12-3", false, 0, 0, nullptr},
        {"9", false, 0, 0, nullptr}, // a picture at another resolution only
        {"", false, 0, 0, nullptr},
        {"x", false, 0, 0, nullptr},
    };
    QColor whileShown;
    messages.onShow = [&](const platform::MessageBox&) { whileShown = window::backColor(w->ComboServo[3]); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const QString typed = QString::fromLatin1(c.typed);
        const qint16 servoBefore = st().Servo[1][3];
        const qint16 variantBefore = st().ServoPicNo[1][3];
        const size_t boxesBefore = inst.messages.boxes.size();
        if (!c.accepted)
            inst.messages.expect(Answer::Ok);
        type(w->ComboServo[3], typed);
        leave();
        if (c.accepted) {
            EXPECT_EQ(inst.messages.boxes.size(), boxesBefore);
            EXPECT_EQ(st().Servo[1][3], c.servo);
            EXPECT_EQ(st().ServoPicNo[1][3], c.variant);
            EXPECT_EQ(w->ComboServo[3]->currentText(), QString::fromLatin1(c.shown));
        } else {
            ASSERT_EQ(inst.messages.boxes.size(), boxesBefore + 1);
            EXPECT_EQ(inst.messages.boxes.back().text, QStringLiteral("Servobild '") + typed + QStringLiteral("' gibt es nicht"));
            EXPECT_EQ(inst.messages.boxes.back().title, QStringLiteral("ServoView_Config"));
            EXPECT_EQ(whileShown, window::kRed);
            EXPECT_EQ(window::backColor(w->ComboServo[3]), window::kWhite);
            EXPECT_EQ(st().Servo[1][3], servoBefore);
            EXPECT_EQ(st().ServoPicNo[1][3], variantBefore);
            EXPECT_EQ(w->ComboServo[3]->currentText(), typed);
        }
        // Other machines' slots are never touched.
        EXPECT_EQ(st().Servo[2][3], 0);
    }
}

TEST_F(Editing, PickingFromTheListShowsThePictureAtOnceAndStoresOnlyOnLeaving)
{
    showActive();
    w->ComboServo[1]->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(w->lastServoPicture(), picture("Servo_3_1024.gif")); // entering shows the slot's picture
    for (int i = 0; i < 4; ++i) // down to the last entry: 12-2
        QTest::keyClick(w->ComboServo[1], Qt::Key_Down);
    EXPECT_EQ(w->ComboServo[1]->currentText(), QStringLiteral("12-2"));
    EXPECT_EQ(w->lastServoPicture(), picture("Servo_12_2_1024.gif"));
    EXPECT_EQ(previewAt(196, 87), QColor(255, 0, 0));
    EXPECT_EQ(st().Servo[1][1], 3);
    leave();
    EXPECT_EQ(st().Servo[1][1], 12);
    EXPECT_EQ(st().ServoPicNo[1][1], 2);
    EXPECT_TRUE(w->lastServoPicture().isEmpty()); // leaving clears the preview
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(Editing, ServoCountHidesRowsAndBringsBackTheirChoicesAndTicks)
{
    showActive();
    EXPECT_EQ(w->ComboNrServos->count(), 5); // servo numbers 3, 5, 7, 9 and 12 have pictures
    const auto rowShown = [&](int s) { return w->ComboServo[s]->isEnabled() && w->Check2ndDiagPage[s]->isEnabled(); };

    type(w->ComboNrServos, QStringLiteral("1"));
    leave();
    EXPECT_EQ(st().NumberOfServos[1], 1);
    EXPECT_TRUE(rowShown(1));
    EXPECT_FALSE(rowShown(2));
    EXPECT_TRUE(w->ComboServo[2]->currentText().isEmpty());
    EXPECT_EQ(window::backColor(w->ComboServo[2]), window::buttonFace());

    // Away to another machine, a tick in its slot 2, and back: the hidden tick is kept.
    clickTab(1);
    w->Check2ndDiagPage[2]->click();
    clickTab(0);
    EXPECT_FALSE(w->Check2ndDiagPage[2]->isChecked());
    EXPECT_TRUE(st().Diag2Servo[1][2]);
    EXPECT_TRUE(st().Diag2Servo[2][2]);

    // Picking 3 from the list shows rows 2 and 3 with their choices and ticks again.
    w->ComboNrServos->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(w->ComboNrServos, Qt::Key_Down);
    QTest::keyClick(w->ComboNrServos, Qt::Key_Down);
    EXPECT_EQ(w->ComboNrServos->currentText(), QStringLiteral("3"));
    EXPECT_EQ(st().NumberOfServos[1], 3);
    EXPECT_TRUE(rowShown(3));
    EXPECT_FALSE(rowShown(4));
    EXPECT_EQ(w->ComboServo[2]->currentText(), QStringLiteral("12-2"));
    EXPECT_TRUE(w->Check2ndDiagPage[2]->isChecked());
    EXPECT_EQ(window::backColor(w->Check2ndDiagPage[2]), window::kLightOrange);

    // An empty field is no servo at all.
    type(w->ComboNrServos, QString());
    leave();
    EXPECT_EQ(st().NumberOfServos[1], 0);
    EXPECT_FALSE(rowShown(1));
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(Editing, ServoCountTheSlotsCannotHoldIsRefusedAndChangesNothing)
{
    showActive();
    for (const char* typed : {"51", "-1", "300", "abc"}) {
        SCOPED_TRACE(typed);
        inst.messages.expect(Answer::Yes); // the message, or resuming after the report
        type(w->ComboNrServos, QString::fromLatin1(typed));
        leave();
        ASSERT_EQ(inst.messages.boxes.size(), 1u);
        const QString text = inst.messages.boxes[0].text;
        if (QByteArray(typed) == "abc")
            EXPECT_TRUE(text.contains(QStringLiteral("Type mismatch"))) << text.toStdString();
        else
            EXPECT_EQ(text, QStringLiteral("Anzahl Servos '%1' ist nicht möglich: erlaubt sind 0 bis 50.").arg(QLatin1String(typed)));
        inst.messages.boxes.clear();
        EXPECT_EQ(st().NumberOfServos[1], 3);
        EXPECT_EQ(w->ComboNrServos->currentText(), QStringLiteral("3"));
        EXPECT_TRUE(w->ComboServo[3]->isEnabled());
        EXPECT_FALSE(w->ComboServo[4]->isEnabled());
    }
    // The count a machine came with (no key: -1) is taken again without a word, rows all hidden.
    clickTab(2);
    EXPECT_EQ(w->ComboNrServos->currentText(), QStringLiteral("-1"));
    w->ComboNrServos->setFocus(Qt::MouseFocusReason);
    leave();
    EXPECT_EQ(st().NumberOfServos[3], -1);
    EXPECT_FALSE(w->ComboServo[1]->isEnabled());
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST_F(Editing, TabsShowEachMachinesOwnValuesAndATextTypedBeforeTheClickIsStoredForTheMachineLeft)
{
    showActive();
    w->CheckZusatz[3]->click();
    type(w->ComboServo[3], QStringLiteral("5"));
    clickTab(1); // without leaving the combo first

    EXPECT_EQ(st().CurrentMachine, 2);
    EXPECT_EQ(st().Servo[1][3], 5);
    EXPECT_TRUE(st().ExtServo[1][3]);
    EXPECT_EQ(st().Servo[2][3], 0);
    EXPECT_EQ(w->ComboNrServos->currentText(), QStringLiteral("2"));
    EXPECT_EQ(w->ComboServo[1]->currentText(), QStringLiteral("12-1"));
    EXPECT_EQ(w->ComboServo[2]->currentText(), QStringLiteral("5"));
    EXPECT_FALSE(w->ComboServo[3]->isEnabled());
    EXPECT_FALSE(w->CheckZusatz[3]->isChecked());
    EXPECT_TRUE(st().ExtServo[1][3]); // unticking the hidden row stored nothing

    // A text refused on the way out stays unstored; the switch happens all the same.
    inst.messages.expect(Answer::Ok);
    type(w->ComboServo[2], QStringLiteral("44"));
    clickTab(2);
    EXPECT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(st().Servo[2][2], 5);
    EXPECT_EQ(st().CurrentMachine, 3);
    EXPECT_EQ(w->ComboNrServos->currentText(), QStringLiteral("-1"));

    clickTab(0);
    const char* expected[] = {"3", "12-2", "5"};
    for (int s = 1; s <= 3; ++s)
        EXPECT_EQ(w->ComboServo[s]->currentText(), QString::fromLatin1(expected[s - 1]));
    EXPECT_TRUE(w->CheckZusatz[1]->isChecked());
    EXPECT_TRUE(w->Check2ndDiagPage[2]->isChecked());
    EXPECT_TRUE(w->CheckZusatz[3]->isChecked());
    EXPECT_EQ(w->ComboServo[3]->count(), 5);
}

TEST_F(Editing, HelpModeShowsHelpInsteadOfActingAndLocksTheTabs)
{
    showActive();
    const bool shows = helpShowsBoxes();
    const auto expectInfo = [&](int boxes) {
        for (int i = 0; shows && i < boxes; ++i)
            inst.messages.expect(Answer::Ok);
    };
    QTest::mouseClick(w->CommandQuest, Qt::LeftButton);
    EXPECT_TRUE(w->help().HelpMode);
    EXPECT_EQ(window::backColor(w->CommandQuest), window::kGreen);
    EXPECT_FALSE(w->TabStripMachine->isEnabled());

    expectInfo(1);
    w->Check2ndDiagPage[1]->click();
    EXPECT_FALSE(st().Diag2Servo[1][1]);
    if (shows) {
        EXPECT_FALSE(w->Check2ndDiagPage[1]->isChecked());
    }
    expectInfo(1); // entering shows the combo's help; leaving stores and refuses nothing
    type(w->ComboServo[1], QStringLiteral("44"));
    leave();
    EXPECT_EQ(st().Servo[1][1], 3);
    expectInfo(2); // entering and leaving the number field
    type(w->ComboNrServos, QStringLiteral("1"));
    leave();
    EXPECT_EQ(st().NumberOfServos[1], 3);
    EXPECT_TRUE(w->ComboServo[2]->isEnabled());
    expectInfo(1);
    QTest::mouseClick(w->LabelServoPic, Qt::LeftButton);
    EXPECT_FALSE(w->PictureServo->isVisible());
    w->Check2ndDiagPageKomm->click(); // the legend stays ticked and says nothing
    EXPECT_TRUE(w->Check2ndDiagPageKomm->isChecked());
    clickTab(1);
    EXPECT_EQ(st().CurrentMachine, 1);

    QTest::mouseClick(w->CommandQuest, Qt::LeftButton);
    EXPECT_FALSE(w->help().HelpMode);
    EXPECT_EQ(window::backColor(w->CommandQuest), window::buttonFace());
    EXPECT_TRUE(w->TabStripMachine->isEnabled());
    int info = 0;
    for (const auto& box : inst.messages.boxes)
        info += box.title == QStringLiteral("Info:");
    EXPECT_EQ(info, shows ? 5 : 0);
    EXPECT_EQ(inst.messages.boxes.size(), static_cast<size_t>(info));
}
