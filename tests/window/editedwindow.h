#pragma once

#include "support/installation.h"
#include "window/kalvia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace editing {

// Messages answered from the installation's script, each after a look at the window while it shows.
class WatchedMessages final : public platform::Messages {
public:
    explicit WatchedMessages(support::ScriptedMessages& script) : m_script(script) {}
    platform::Answer show(const platform::MessageBox& box) override
    {
        if (onShow)
            onShow(box);
        return m_script.show(box);
    }
    std::function<void(const platform::MessageBox&)> onShow;

private:
    support::ScriptedMessages& m_script;
};

inline QByteArray testPicture(const char* name)
{
    QFile file(QStringLiteral(KALVIA_SOURCE_DIR "/tests/window/data/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("no test picture ") + name);
    return file.readAll();
}

// Three machines, each served: Filler with 3 slots (3 with its extra options, 12-2 with a second
// diagnosis page, 7), Capper with 2 (12-1, 5), Labeller without a NumberOfServos key.
inline const QString kProject = QStringLiteral(
    "[Project]\nResolution=1024\nServoWithFault=false\nServoWithMenu=false\nServoWithMachineType=0\nNumberOfMachines=3\n"
    "[Machine1]\nMachineName=Filler\nNumberOfServos=3\nServo1=3\nExtServo1=true\nServo2=12\nServoPic2=2\n"
    "Diag2Servo2=true\nServo3=7\n"
    "[Machine2]\nMachineName=Capper\nNumberOfServos=2\nServo1=12\nServo2=5\n"
    "[Machine3]\nMachineName=Labeller\n");

// An installation with that project and the pictures 3, 5, 7 (green), 12-1 (tall, blue) and 12-2
// (wide, red) at resolution 1024, and servo 9 at 800 only; the window loaded on it.
class EditedWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                      QStringLiteral("[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\nNameM3=Labeller\n")
                          .arg(inst.root()));
        inst.writeIni(QStringLiteral("parameter/Program.ini"), project);
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"),
                      QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\nForMachine3=true\n"));
        for (const char* name : {"Servo_3_1024.gif", "Servo_5_1024.gif", "Servo_7_1024.gif", "Servo_9_800.gif"})
            inst.write(QStringLiteral("ServoTool/") + QLatin1String(name), testPicture("green.gif"));
        inst.write(QStringLiteral("ServoTool/Servo_12_1_1024.gif"), testPicture("tall-blue.gif"));
        inst.write(QStringLiteral("ServoTool/Servo_12_2_1024.gif"), testPicture("wide-red.gif"));
        w = std::make_unique<window::Kalvia>(ctx);
        w->Form_Load();
    }

    // Shows the window and makes it the active one, so focus changes reach the controls.
    void showActive()
    {
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

    void clickTab(int index)
    {
        QTest::mouseClick(w->TabStripMachine, Qt::LeftButton, {}, w->TabStripMachine->tabRect(index).center());
    }

    QString picture(const char* name) const { return inst.path(QStringLiteral("ServoTool/") + QLatin1String(name)); }

    // The colour drawn at a point of the small preview's drawing.
    QColor previewAt(int x, int y) const { return w->ServoPic->pixmap().toImage().pixelColor(x, y); }

    const environment::EditingState& st() const { return w->state(); }

    QString project = kProject;
    support::Installation inst;
    WatchedMessages messages{inst.messages};
    environment::Context ctx{inst.process, messages};
    std::unique_ptr<window::Kalvia> w;
};

} // namespace editing
