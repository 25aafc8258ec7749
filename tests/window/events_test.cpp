#include "environment/errors.h"
#include "support/installation.h"
#include "window/kalvia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

using platform::Answer;

namespace {

class Events : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&w, &window::Kalvia::eventDelivered, &w, [this](const QString& handler, int index) {
            delivered << (index >= 0 ? QStringLiteral("%1(%2)").arg(handler).arg(index) : handler);
        });
    }

    // Shows the window and makes it the active one, so focus changes reach the controls.
    void showActive()
    {
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        delivered.clear();
    }

    // A click at a point of the window, routed to whatever control lies there.
    void clickWindowAt(QWidget* control, QPoint inside, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(w.windowHandle(), button, {}, control->mapTo(&w, inside));
    }

    support::Installation inst;
    window::Kalvia w{inst.context};
    QStringList delivered;
};

} // namespace

TEST_F(Events, CheckBoxHandlersRunOnEveryChangeOfValueAndOnlyThen)
{
    const struct {
        QCheckBox* box;
        QString handler;
    } boxes[] = {
        {w.Check2ndDiagPage[7], QStringLiteral("Check2ndDiagPage_Click(7)")},
        {w.CheckZusatz[50], QStringLiteral("CheckZusatz_Click(50)")},
        {w.MitFehler, QStringLiteral("MitFehler_Click")},
        {w.MitVorauswahl, QStringLiteral("MitVorauswahl_Click")},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.handler.toStdString());
        delivered.clear();
        b.box->setEnabled(true);
        b.box->setChecked(true);
        EXPECT_EQ(delivered, QStringList{b.handler});
        b.box->setChecked(true); // the value it already has
        EXPECT_EQ(delivered, QStringList{b.handler});
        b.box->setChecked(false);
        EXPECT_EQ(delivered, QStringList({b.handler, b.handler}));
    }

    // A click of the user goes the same way.
    showActive();
    clickWindowAt(w.CheckZusatz[12], {8, 8});
    EXPECT_FALSE(w.CheckZusatz[12]->isChecked()); // still disabled: nothing happens
    EXPECT_TRUE(delivered.isEmpty());
    w.CheckZusatz[12]->setEnabled(true);
    clickWindowAt(w.CheckZusatz[12], {8, 8});
    EXPECT_TRUE(w.CheckZusatz[12]->isChecked());
    EXPECT_EQ(delivered, QStringList{QStringLiteral("CheckZusatz_Click(12)")});
}

TEST_F(Events, LegendBoxesShowTickedWhateverIsDoneToThem)
{
    for (QCheckBox* legend : {w.Check2ndDiagPageKomm, w.CheckZusatzKomm}) {
        legend->setChecked(false);
        EXPECT_TRUE(legend->isChecked());
    }
    showActive();
    clickWindowAt(w.CheckZusatzKomm, {8, 9});
    EXPECT_TRUE(w.CheckZusatzKomm->isChecked());
    EXPECT_TRUE(delivered.contains(QStringLiteral("CheckZusatzKomm_Click")));
}

TEST_F(Events, FocusMovingBetweenCombosLeavesOneAndEntersTheOther)
{
    showActive();
    w.ComboServo[3]->setEnabled(true);
    w.ComboServo[4]->setEnabled(true);
    w.ComboServo[3]->setFocus(Qt::MouseFocusReason);
    w.ComboServo[4]->setFocus(Qt::TabFocusReason);
    w.ComboNrServos->setFocus(Qt::MouseFocusReason);
    w.CommandCancel->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(delivered, QStringList({QStringLiteral("ComboServo_GotFocus(3)"), QStringLiteral("ComboServo_LostFocus(3)"),
                                      QStringLiteral("ComboServo_GotFocus(4)"), QStringLiteral("ComboServo_LostFocus(4)"),
                                      QStringLiteral("ComboNrServos_GotFocus"), QStringLiteral("ComboNrServos_LostFocus")}));

    // The tab key moves on in the designed order: combo 4, then the orange box of slot 4, then
    // combo 5; disabled controls are passed over.
    w.Check2ndDiagPage[4]->setEnabled(true);
    w.ComboServo[4]->setFocus(Qt::MouseFocusReason);
    delivered.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.Check2ndDiagPage[4]);
    w.ComboServo[6]->setEnabled(true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.ComboServo[6]);
    EXPECT_EQ(delivered, QStringList({QStringLiteral("ComboServo_LostFocus(4)"), QStringLiteral("ComboServo_GotFocus(6)")}));
}

TEST_F(Events, DropDownListsAndOtherWindowsDoNotTakeTheFocusFromACombo)
{
    showActive();
    w.ComboServo[5]->setEnabled(true);
    w.ComboServo[5]->addItems({QStringLiteral("7"), QStringLiteral("12-1")});
    w.ComboServo[5]->setFocus(Qt::MouseFocusReason);
    delivered.clear();

    // Opening and closing the combo's own list.
    w.ComboServo[5]->showPopup();
    w.ComboServo[5]->hidePopup();
    // Another window takes the focus for a while, as a message box does.
    QWidget other;
    auto* field = new QLineEdit(&other);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    field->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(field->hasFocus());
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.ComboServo[5]);
    EXPECT_TRUE(delivered.isEmpty()) << delivered.join(QLatin1Char(' ')).toStdString();

    // The combo still leaves when the focus moves on inside the window.
    w.ComboServo[6]->setEnabled(true);
    w.ComboServo[6]->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(delivered, QStringList({QStringLiteral("ComboServo_LostFocus(5)"), QStringLiteral("ComboServo_GotFocus(6)")}));
    delivered.clear();

    // Picking from the list is the combo's click.
    w.ComboServo[6]->addItems({QStringLiteral("7"), QStringLiteral("12-1")});
    QTest::keyClick(w.ComboServo[6], Qt::Key_Down);
    EXPECT_EQ(w.ComboServo[6]->currentText(), QStringLiteral("12-1"));
    EXPECT_EQ(delivered, QStringList{QStringLiteral("ComboServo_Click(6)")});
}

TEST_F(Events, ClickingAnotherTabLeavesTheComboBeforeTheTabChanges)
{
    w.TabStripMachine->addTab(QStringLiteral("Machine 2"));
    showActive();
    w.ComboServo[9]->setEnabled(true);
    w.ComboServo[9]->setFocus(Qt::MouseFocusReason);
    int tabWhenLeft = -1;
    QObject::connect(&w, &window::Kalvia::eventDelivered, &w, [&](const QString& handler, int) {
        if (handler == QStringLiteral("ComboServo_LostFocus"))
            tabWhenLeft = w.TabStripMachine->currentIndex();
    });
    delivered.clear();

    QTest::mouseClick(w.TabStripMachine, Qt::LeftButton, {}, w.TabStripMachine->tabRect(1).center());
    EXPECT_EQ(delivered, QStringList{QStringLiteral("ComboServo_LostFocus(9)")});
    EXPECT_EQ(tabWhenLeft, 0);
    EXPECT_EQ(w.TabStripMachine->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), w.TabStripMachine);
}

TEST_F(Events, ClicksOnLabelsPicturesAndTheFrameReachTheirHandler)
{
    showActive();
    const auto click = [&](QWidget* control, QPoint inside) {
        delivered.clear();
        clickWindowAt(control, inside);
        return delivered;
    };
    // The preview's label and the preview enlarge; the large picture's label and the picture shrink.
    EXPECT_EQ(click(w.LabelServoPic, {10, 8}), QStringList{QStringLiteral("LabelServoPic_Click")});
    ASSERT_TRUE(w.PictureServo->isVisible());
    EXPECT_EQ(click(w.LabelPictureServo, {10, 8}), QStringList{QStringLiteral("LabelPictureServo_Click")});
    ASSERT_FALSE(w.PictureServo->isVisible());
    // The image covers the inside of the preview; a click on it is the preview's.
    EXPECT_EQ(click(w.ServoPic, {200, 100}), QStringList{QStringLiteral("ServoPic_Click")});
    EXPECT_EQ(click(w.PictureServo, {250, 150}), QStringList{QStringLiteral("PictureServo_Click")});
    EXPECT_EQ(click(w.FrameBobbinChange, {300, 90}), QStringList{QStringLiteral("FrameBobbinChange_Click")});
    // A control inside the frame has its own click.
    EXPECT_EQ(click(w.MitFehler, {8, 12}), QStringList{QStringLiteral("MitFehler_Click")});

    // The right button is no click; nor is a press that is released elsewhere.
    delivered.clear();
    clickWindowAt(w.PictureServo, {250, 150}, Qt::RightButton);
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, w.ServoPic->mapTo(&w, QPoint(20, 20)));
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, w.FrameBobbinChange->mapTo(&w, QPoint(300, 90)));
    EXPECT_TRUE(delivered.isEmpty()) << delivered.join(QLatin1Char(' ')).toStdString();
}

TEST_F(Events, FailureInAHandlerIsReportedUnderItsNameAndTheWindowGoesOn)
{
    QObject::connect(&w, &window::Kalvia::eventDelivered, &w, [](const QString& handler, int) {
        if (handler == QStringLiteral("CheckZusatz_Click"))
            environment::raiseSubscript();
    });
    w.CheckZusatz[6]->setEnabled(true);
    inst.messages.expect(Answer::Yes); // resume
    w.CheckZusatz[6]->setChecked(true);
    EXPECT_TRUE(w.CheckZusatz[6]->isChecked());
    ASSERT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_TRUE(inst.messages.boxes[0].text.contains(QStringLiteral("Subscript out of range")));
    EXPECT_TRUE(inst.read(QStringLiteral("QELcfglog.txt")).contains("/ CheckZusatz_Click (Nr. 9) :Subscript out of range"));
}
