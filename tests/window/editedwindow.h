#pragma once

#include "support/installation.h"
#include "window/colours.h"
#include "window/kalvia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace editing {

// Three served machines: Filler with 3 slots (3 with its extra options, 12-2 with a second
// diagnosis page, 7), Capper with 2 (12-1, 5), Labeller without a NumberOfServos key. Pictures:
// 3, 5, 7 (green), 12-1 (tall, blue), 12-2 (wide, red) at resolution 1024, servo 9 at 800 only.
class EditedWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        inst.writeIni("parameter/qelconfiguration.ini",
                      u"[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\nNameM3=Labeller\n"_s.arg(inst.root()));
        inst.writeIni("parameter/Program.ini",
                      "[Project]\nResolution=1024\nNumberOfMachines=3\n[Machine1]\nMachineName=Filler\nNumberOfServos=3\n"
                      "Servo1=3\nExtServo1=true\nServo2=12\nServoPic2=2\nDiag2Servo2=true\nServo3=7\n[Machine2]\n"
                      "MachineName=Capper\nNumberOfServos=2\nServo1=12\nServo2=5\n[Machine3]\nMachineName=Labeller\n");
        inst.writeIni("ServoView/ServoView.cfg", "[Project]\nForMachine1=true\nForMachine2=true\nForMachine3=true\n");
        const std::pair<const char*, const char*> pictures[] = {
            {"Servo_3_1024.gif", "green"}, {"Servo_5_1024.gif", "green"},         {"Servo_7_1024.gif", "green"},
            {"Servo_9_800.gif", "green"},  {"Servo_12_1_1024.gif", "tall-blue"}, {"Servo_12_2_1024.gif", "wide-red"}};
        for (const auto& [name, drawing] : pictures)
            ASSERT_TRUE(QFile::copy(KALVIA_SOURCE_DIR "/tests/window/data/" + QString(drawing) + ".gif", picture(name)));
        w = std::make_unique<window::Kalvia>(inst.context);
        w->Form_Load();
        // Shown and active, so focus changes reach its controls.
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }

    // Enters a combo and types a text over what it holds (the focus stays in the combo).
    static void type(QComboBox* combo, const QString& text)
    {
        EXPECT_TRUE(combo->isEnabled()) << "typing into a disabled combo";
        combo->setFocus(Qt::MouseFocusReason);
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(combo->lineEdit(), text);
    }
    // Moves the focus to a control that does nothing when entered.
    void leave() { w->CheckZusatzKomm->setFocus(Qt::MouseFocusReason); }
    // Types into a combo and leaves it.
    void enter(QComboBox* combo, const QString& text) { type(combo, text); leave(); }
    void clickTab(int index)
    {
        QTest::mouseClick(w->TabStripMachine, Qt::LeftButton, {}, w->TabStripMachine->tabRect(index).center());
    }
    // The texts of the first n servo combos.
    QStringList shown(int n) const
    {
        QStringList texts;
        for (int s = 1; s <= n; ++s)
            texts << w->ComboServo[s]->currentText();
        return texts;
    }
    QString picture(const char* name) const { return inst.path(u"ServoTool/"_s + name); }
    // The colour drawn at a point of the small preview.
    QColor previewAt(int x, int y) const { return w->ServoPic->pixmap().toImage().pixelColor(x, y); }
    const environment::EditingState& st() const { return w->state(); }

    support::Installation inst;
    std::unique_ptr<window::Kalvia> w;
};

} // namespace editing
