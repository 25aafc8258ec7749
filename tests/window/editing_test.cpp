#include "editedwindow.h"
#include "window/qtmessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWheelEvent>

using support::endCode;
using platform::Answer;
using Editing = editing::EditedWindow;

TEST_F(Editing, LeavingAServoComboStoresOrRefusesTheText)
{
    // The servo and variant stored afterwards and the text shown (nullptr: refused, the text stays as typed).
    const struct { QString typed; int servo, variant; const char* shown; } cases[] = {
        {"5", 5, 1, "5"}, {"12", 12, 1, "12-1"}, {"12-2", 12, 2, "12-2"}, // "12": the first picture of 12
        {" 7-1", 7, 1, "7"}, {"7-4", 7, 1, "7"}, // 7 has one picture: the slot takes that one
        {"12-3", 7, 1, nullptr}, {"9", 7, 1, nullptr}, {"", 7, 1, nullptr}, {"x", 7, 1, nullptr}, // 9: at 800 only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        inst.messages.boxes.clear();
        if (!c.shown)
            inst.messages.expect(Answer::Ok);
        enter(w->ComboServo[3], c.typed);
        EXPECT_EQ(st().Servo[1][3], c.servo);
        EXPECT_EQ(st().ServoPicNo[1][3], c.variant);
        EXPECT_EQ(st().Servo[2][3], 0); // other machines' slots are never touched
        EXPECT_EQ(w->ComboServo[3]->currentText(), c.shown ? QString::fromLatin1(c.shown) : c.typed);
        EXPECT_EQ(window::backColor(w->ComboServo[3]), window::kWhite); // red only while refused
        EXPECT_EQ(inst.messages.boxes.empty() ? QString() : inst.messages.boxes.back().text,
                  c.shown ? QString() : u"Servobild '%1' gibt es nicht"_s.arg(c.typed));
    }
}

// A typed count is stored and shows that many rows; an impossible one is refused and the stored count shown again.
TEST_F(Editing, ServoCountShowsRowsOrIsRefused)
{
    // Typed in turn: the count stored afterwards and whether it was refused ("": no servo at all).
    const struct { QString typed; int stored; bool refused; } steps[] = {
        {"", 0, false}, {"51", 0, true}, {"1", 1, false}, {"-1", 1, true}, {"300", 1, true}, {"abc", 1, true},
    };
    const auto rowShown = [&](int s) { return w->ComboServo[s]->isEnabled() && w->Check2ndDiagPage[s]->isEnabled(); };
    for (const auto& c : steps) {
        SCOPED_TRACE(c.typed.toStdString());
        inst.messages.boxes.clear();
        if (c.refused)
            inst.messages.expect(Answer::Yes); // the message, or resuming after the run-time error's report
        enter(w->ComboNrServos, c.typed);
        const QString refusal = c.typed == u"abc"_s ? u"Type mismatch"_s // the run-time error's report
                                : u"Anzahl Servos '%1' ist nicht möglich: erlaubt sind 0 bis 50."_s.arg(c.typed);
        EXPECT_TRUE(c.refused ? inst.messages.boxes.size() == 1 && inst.messages.boxes[0].text.contains(refusal)
                              : inst.messages.boxes.empty());
        EXPECT_EQ(st().NumberOfServos[1], c.stored);
        EXPECT_EQ(w->ComboNrServos->currentText(), c.refused ? QString::number(c.stored) : c.typed);
        EXPECT_TRUE(c.stored == 0 || rowShown(c.stored));
        EXPECT_FALSE(rowShown(c.stored + 1));
        EXPECT_EQ(w->ComboServo[c.stored + 1]->currentText(), QString());
    }
    // Picking 3 from the list shows rows 2 and 3 with their choices and ticks again.
    w->ComboNrServos->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(w->ComboNrServos, Qt::Key_Down);
    QTest::keyClick(w->ComboNrServos, Qt::Key_Down);
    EXPECT_EQ(st().NumberOfServos[1], 3);
    EXPECT_TRUE(rowShown(3));
    EXPECT_FALSE(rowShown(4));
    EXPECT_EQ(shown(3), QStringList({"3", "12-2", "7"}));
    EXPECT_TRUE(w->Check2ndDiagPage[2]->isChecked());
    // The count a machine came with (no key: -1) is taken again without a word, rows all hidden.
    clickTab(2);
    w->ComboNrServos->setFocus(Qt::MouseFocusReason);
    leave();
    EXPECT_EQ(st().NumberOfServos[3], -1);
    EXPECT_FALSE(rowShown(1));
}

TEST_F(Editing, TabSwitchStoresTheTextForTheMachineLeft)
{
    w->CheckZusatz[3]->click();
    type(w->ComboServo[3], u"5"_s);
    clickTab(1); // without leaving the combo first
    EXPECT_EQ(st().CurrentMachine, 2);
    EXPECT_EQ(st().Servo[1][3], 5);
    EXPECT_EQ(shown(3), QStringList({"12-1", "5", ""}));
    EXPECT_FALSE(w->CheckZusatz[3]->isChecked());
    EXPECT_TRUE(st().ExtServo[1][3]); // unticking the hidden row stored nothing

    // A text refused on the way out stays unstored; the switch happens all the same.
    inst.messages.expect(Answer::Ok);
    type(w->ComboServo[2], u"44"_s);
    clickTab(2);
    EXPECT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(st().Servo[2][2], 5);
    EXPECT_EQ(st().CurrentMachine, 3);

    clickTab(0);
    EXPECT_EQ(shown(3), QStringList({"3", "12-2", "5"}));
    EXPECT_TRUE(w->CheckZusatz[1]->isChecked());
    EXPECT_TRUE(w->Check2ndDiagPage[2]->isChecked());
    EXPECT_TRUE(w->CheckZusatz[3]->isChecked());
}

// Also: an input refused while editing and then corrected is no failure of the run (exit code 0, not 3).
TEST_F(Editing, OkStartsTheClosingRunOnce)
{
    EXPECT_TRUE(w->CommandOK->isEnabled()); // enabled by the load
    inst.messages.expect(Answer::Yes);
    enter(w->ComboNrServos, u"abc"_s);
    enter(w->ComboNrServos, u"3"_s);
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_EQ(endCode([&] { w->CommandOK_Click(); }), 0);
    EXPECT_TRUE(w->closingRunStarted());
    EXPECT_FALSE(w->CommandOK->isEnabled());
    EXPECT_FALSE(w->CommandCancel->isEnabled());
    // Activation does not enable OK again while the run is under way, and a second click starts nothing.
    w->Form_Activate();
    EXPECT_FALSE(w->CommandOK->isEnabled());
    EXPECT_EQ(endCode([&] { w->CommandOK_Click(); }), -1);
}

TEST_F(Editing, HelpModeShowsHelpInsteadOfActing)
{
    for (int i = 0; i < 8; ++i) // one "Info:" box per action below, two for the number field
        inst.messages.expect(Answer::Ok);
    QTest::mouseClick(w->CommandQuest, Qt::LeftButton);
    // Each click on an option box is undone, the second as well as the first; nothing is stored.
    for (int click = 1; click <= 2; ++click) {
        w->Check2ndDiagPage[1]->click();
        w->CheckZusatz[1]->click();
        EXPECT_FALSE(w->Check2ndDiagPage[1]->isChecked());
        EXPECT_TRUE(w->CheckZusatz[1]->isChecked());
        EXPECT_FALSE(st().Diag2Servo[1][1]);
        EXPECT_TRUE(st().ExtServo[1][1]);
    }
    type(w->ComboServo[1], u"44"_s); // entering shows help; leaving stores and refuses nothing
    enter(w->ComboNrServos, u"1"_s);
    EXPECT_EQ(st().Servo[1][1], 3);
    EXPECT_EQ(st().NumberOfServos[1], 3);
    QTest::mouseClick(w->LabelServoPic, Qt::LeftButton);
    EXPECT_FALSE(w->PictureServo->isVisible());
    w->Check2ndDiagPageKomm->click(); // the legend stays ticked and says nothing
    EXPECT_TRUE(w->Check2ndDiagPageKomm->isChecked());
    clickTab(1); // the tabs are locked
    EXPECT_EQ(st().CurrentMachine, 1);
    EXPECT_TRUE(inst.messages.allAnswered());

    QTest::mouseClick(w->CommandQuest, Qt::LeftButton);
    EXPECT_FALSE(w->help().HelpMode);
    EXPECT_TRUE(w->TabStripMachine->isEnabled());
}

// The check at OK refuses a text of the shown tab that names no picture, a servo number in two
// slots and a slot never given a servo; each faulty machine is shown with its faulty rows red.
TEST_F(Editing, OkRefusesFaultyMachinesShowingTheirRowsRed)
{
    // Each box noted as the tab shown and the rows shown red while it was up: "1: 3 4 5".
    QStringList seen;
    inst.messages.onShow = [&](const platform::MessageBox&) {
        QString s = QString::number(w->TabStripMachine->currentIndex()) + QLatin1Char(':');
        for (int r = 1; r <= 50; ++r)
            if (window::backColor(w->ComboServo[r]) == window::kRed)
                s += QLatin1Char(' ') + QString::number(r);
        seen << s;
    };
    // Capper: slots 3 and 5 hold servo 12 in two variants, slot 4 was never given a servo.
    clickTab(1);
    enter(w->ComboNrServos, u"5"_s);
    type(w->ComboServo[3], u"12-2"_s);
    type(w->ComboServo[5], u"12-1"_s);
    // Labeller: two slots never given a servo are one fault of the machine.
    clickTab(2);
    enter(w->ComboNrServos, u"2"_s);
    // Filler: a text refused on leaving stays in its combo.
    clickTab(0);
    inst.messages.expect(Answer::Ok);
    enter(w->ComboServo[2], u"44"_s);
    const QByteArray before = inst.read(u"parameter/Program.ini"_s);

    for (int i = 0; i < 3; ++i)
        inst.messages.expect(Answer::Ok);
    EXPECT_EQ(endCode([&] { w->CommandOK_Click(); }), -1);
    // Red while refused on leaving, and again at OK; 12-1 in slot 1 of the Capper as well.
    EXPECT_EQ(seen, QStringList({"0: 2", "0: 2", "1: 1 3 4 5", "2: 1 2"}));
    EXPECT_EQ(inst.messages.boxes.back().text, u"Falscher Servotyp oder doppelte Belegung"_s);
    // The colours are back as they were: white for shown rows, the button face for hidden ones.
    EXPECT_EQ(window::backColor(w->ComboServo[1]), window::kWhite);
    EXPECT_EQ(window::backColor(w->ComboServo[3]), window::buttonFace());
    EXPECT_FALSE(w->closingRunStarted());
    EXPECT_EQ(inst.read(u"parameter/Program.ini"_s), before);
}

// Sends one notch of the mouse wheel (upwards, or downwards with a negative step) to a widget at its centre.
static void turnWheel(QWidget* widget, int step = 120)
{
    const QPointF at = QRectF(widget->rect()).center();
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, step), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QCoreApplication::sendEvent(widget, &wheel);
}

// The wheel never changes a value behind the handlers' back: not over the tab strip (the typed
// text would be lost with the switch), not over a combo without the focus (OK would check the
// shown text but write the stored one).
TEST_F(Editing, WheelChangesOnlyTheFocusedCombo)
{
    type(w->ComboServo[3], u"5"_s);
    turnWheel(w->TabStripMachine, -120); // towards the next machine
    EXPECT_EQ(st().CurrentMachine, 1);
    leave();
    EXPECT_EQ(st().Servo[1][3], 5);
    for (QComboBox* combo : {w->ComboServo[2], w->ComboNrServos}) {
        const QString before = combo->currentText();
        turnWheel(combo);
        EXPECT_EQ(combo->currentText(), before) << combo->objectName().toStdString();
    }
    // With the focus the wheel changes the combo, and leaving stores what it shows.
    w->ComboServo[2]->setFocus(Qt::MouseFocusReason);
    turnWheel(w->ComboServo[2]);
    EXPECT_NE(w->ComboServo[2]->currentText(), u"12-2"_s);
}

// Escape and the box's close button never answer a Yes/No question; only Yes or No do.
TEST(Messages, EscapeNeverAnswersAQuestion)
{
    window::QtMessages messages;
    platform::MessageBox box;
    box.buttons = platform::Buttons::YesNo;
    box.text = u"Resume?"_s;
    bool stayed = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        stayed = dialog->isVisible();
        dialog->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(messages.show(box), platform::Answer::Yes);
    EXPECT_TRUE(stayed);
}
