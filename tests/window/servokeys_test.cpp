#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "support/installation.h"
#include "window/kalvia.h"

#include <QCheckBox>
#include <QTabBar>

#include <gtest/gtest.h>

#include <memory>

using platform::Answer;

namespace {

const QString kProgramIni = QStringLiteral("parameter/Program.ini");
const QString kCfg = QStringLiteral("ServoView/ServoView.cfg");

// An installation with a project INI file and a .cfg, and the window set up on it as the start does.
struct Project {
    Project(const QString& programIni, const QString& cfg, bool integrated = false)
    {
        inst.context.mode.IntegratedMode = integrated;
        if (!programIni.isNull())
            inst.writeIni(kProgramIni, programIni);
        inst.writeIni(kCfg, cfg);
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                      QStringLiteral("[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\nNameM3=-\n").arg(inst.root()));
    }

    window::Kalvia& setup()
    {
        w = std::make_unique<window::Kalvia>(inst.context);
        environment::GetExistingMachines(inst.context, environment::GetQELConfigurationIniPath(inst.context));
        w->SetupUserInterFace();
        return *w;
    }

    // The error-log lines written so far.
    QStringList logLines() const
    {
        return QString::fromLatin1(inst.read(QStringLiteral("QELcfglog.txt"))).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    support::Installation inst;
    std::unique_ptr<window::Kalvia> w;
};

QString machine(int m, const char* name, int count, const QString& slotKeys = {})
{
    return QStringLiteral("[Machine%1]\nMachineName=%2\nNumberOfServos=%3\n").arg(m).arg(QString::fromLatin1(name)).arg(count) +
           slotKeys;
}

QString slot(int s, int servo, const char* diag, const char* ext, int pic)
{
    return QStringLiteral("Servo%1=%2\nDiag2Servo%1=%3\nExtServo%1=%4\nServoPic%1=%5\n")
        .arg(s)
        .arg(servo)
        .arg(QString::fromLatin1(diag), QString::fromLatin1(ext))
        .arg(pic);
}

QString projectSection(const char* fault = "true", const char* menu = "false", int withType = 0, int machines = 2)
{
    return QStringLiteral("[Project]\nResolution=1024\nServoWithFault=%1\nServoWithMenu=%2\nServoWithMachineType=%3\n"
                          "NumberOfMachines=%4\n")
        .arg(QString::fromLatin1(fault), QString::fromLatin1(menu))
        .arg(withType)
        .arg(machines);
}

QByteArray crlf(QString text)
{
    return text.replace(QLatin1String("\n"), QLatin1String("\r\n")).toLatin1();
}

const QString kBothServed = QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\n");

} // namespace

TEST(ServoKeys, SetupGivesATabOnlyToServedMachines)
{
    Project p(projectSection() + machine(1, "Filler", 2, slot(1, 3, "true", "false", 1) + slot(2, 7, "false", "true", 2)) +
                  machine(2, "Capper", 1, slot(1, 12, "true", "true", 3)),
              QStringLiteral("[Project]\nForMachine1=false\nForMachine2=true\n"));
    window::Kalvia& w = p.setup();
    const environment::EditingState& st = w.state();
    ASSERT_EQ(w.TabStripMachine->count(), 1);
    EXPECT_EQ(w.TabStripMachine->tabText(0), QStringLiteral("Capper"));
    EXPECT_EQ(w.TabStripMachine->currentIndex(), 0);
    EXPECT_EQ(st.TabToMachine[1], 2);
    EXPECT_EQ(st.TabToMachine[2], 0);
    // The unserved machine keeps its start values.
    EXPECT_EQ(st.NumberOfServos[1], 0);
    EXPECT_EQ(st.Servo[1][1], 0);
    EXPECT_EQ(st.NumberOfServos[2], 1);
    EXPECT_EQ(st.Servo[2][1], 12);
    EXPECT_TRUE(st.Diag2Servo[2][1]);
    EXPECT_TRUE(st.ExtServo[2][1]);
    EXPECT_EQ(st.ServoPicNo[2][1], 3);
    EXPECT_EQ(st.Resolution, QStringLiteral("1024"));
    EXPECT_TRUE(p.inst.messages.boxes.empty());
}

TEST(ServoKeys, SlotKeysReadWithTheirDefaultsAndThePictureFloor)
{
    Project p(projectSection() +
                  machine(1, "Filler", 5,
                          QStringLiteral("Servo1=4\nDiag2Servo1=TRUE\nExtServo1=yes\nServo3=x\nServoPic3=0\n"
                                         "ServoPic4=-7\nServo5=50\nServoPic5=2\nDiag2Servo5=1\nExtServo5=True\n")) +
                  QStringLiteral("[Machine2]\nMachineName=Capper\nServo1=9\n"),
              kBothServed);
    const environment::EditingState& st = p.setup().state();
    const struct {
        int slot, servo, pic;
        bool diag, ext;
    } expected[] = {{1, 4, 1, true, false}, {2, -1, 1, false, false}, {3, 0, 1, false, false},
                    {4, -1, 1, false, false}, {5, 50, 2, false, true}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.slot);
        EXPECT_EQ(st.Servo[1][e.slot], e.servo);
        EXPECT_EQ(st.ServoPicNo[1][e.slot], e.pic);
        EXPECT_EQ(st.Diag2Servo[1][e.slot], e.diag);
        EXPECT_EQ(st.ExtServo[1][e.slot], e.ext);
    }
    // Without NumberOfServos no slot key of the machine is read.
    EXPECT_EQ(st.NumberOfServos[2], -1);
    EXPECT_EQ(st.Servo[2][1], 0);
    EXPECT_EQ(st.ServoPicNo[2][1], 0);
}

TEST(ServoKeys, ProjectOptionsSetTheCheckBoxesAndMachineType)
{
    const struct {
        const char* tag;
        const char* fault;
        const char* menu;
        int withType;
        bool integrated;
        bool expectFault, expectMenu, expectType;
    } cases[] = {
        {"upper-case-true", "TRUE", "false", 1, false, true, false, true},
        {"other-texts-are-false", "1", "yes", 0, false, false, false, false},
        {"menu-only", "false", "True", 2, false, false, true, false},
        {"integrated-forces-machine-type", "false", "false", 0, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        Project p(projectSection(c.fault, c.menu, c.withType) + machine(1, "Filler", 0) + machine(2, "Capper", 0),
                  kBothServed, c.integrated);
        window::Kalvia& w = p.setup();
        EXPECT_EQ(w.MitFehler->isChecked(), c.expectFault);
        EXPECT_EQ(w.MitVorauswahl->isChecked(), c.expectMenu);
        EXPECT_EQ(w.state().WithMachineType, c.expectType);
        EXPECT_EQ(w.TabStripMachine->count(), 2);
    }
}

TEST(ServoKeys, WritingBackWhatWasReadLeavesTheProgramIniByteForByte)
{
    const QString text = QStringLiteral("; project of the demo line\n") + projectSection() + QStringLiteral("VWStudio=FALSE\n\n") +
                         machine(1, "Filler", 2, slot(1, 3, "true", "false", 1) + slot(2, 7, "false", "true", 2)) +
                         QStringLiteral("\n") + machine(2, "Capper", 1, slot(1, 12, "false", "false", 1));
    Project p(text, QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\n\n[Info]\nS_Prog=\nS_Editor=\n"));
    window::Kalvia& w = p.setup();
    EXPECT_EQ(w.WriteInputs(), 1);
    EXPECT_EQ(p.inst.read(kProgramIni), crlf(text));
    EXPECT_EQ(p.inst.read(kCfg), crlf(QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\n\n[Info]\n"
                                                     "S_Prog=1.0.0 - Standalone\nS_Editor=666768\n")));
    EXPECT_TRUE(p.inst.messages.boxes.empty());
}

TEST(ServoKeys, WritingNormalisesValuesAndKeepsKeysBeyondTheCount)
{
    // Standalone read of odd forms; the first machine is then cut from 5 slotKeys to 3 and edited.
    Project p(projectSection("TRUE", "false", 0, 3) +
                  machine(1, "Filler", 5,
                          slot(1, 3, "true", "false", 1) + slot(2, 7, "yes", "false", 1) + slot(3, 9, "false", "false", 0) +
                              slot(4, 10, "false", "false", 1) + slot(5, 11, "false", "false", 1)) +
                  machine(2, "Capper", 2, slot(1, 1, "false", "false", 1)) + machine(3, "Labeller", 4, slot(1, 5, "true", "true", 1)),
              QStringLiteral("[Project]\nForMachine1=true\nForMachine2=true\nForMachine3=false\n"));
    window::Kalvia& w = p.setup();
    environment::EditingState& st = w.state();
    ASSERT_EQ(p.inst.context.project.ExistingMachines.size(), 4); // index 0 unused
    st.NumberOfServos[1] = 3;
    st.Servo[1][2] = 8;
    st.ExtServo[1][3] = true;
    w.MitVorauswahl->setChecked(true);
    EXPECT_EQ(w.WriteInputs(), 1);

    const QString expected = projectSection("true", "true", 0, 3) +
                             machine(1, "Filler", 3,
                                     slot(1, 3, "true", "false", 1) + slot(2, 8, "false", "false", 1) +
                                         slot(3, 9, "false", "true", 1) + slot(4, 10, "false", "false", 1) +
                                         slot(5, 11, "false", "false", 1)) +
                             // Slot 2 of machine 2 had no keys: they are added with what their absence read as.
                             // The third machine has no tab: its count becomes 0 and its slot keys stay.
                             machine(2, "Capper", 2, slot(1, 1, "false", "false", 1)) +
                             QStringLiteral("Servo2=-1\nDiag2Servo2=false\nExtServo2=false\nServoPic2=1\n") +
                             machine(3, "Labeller", 0, slot(1, 5, "true", "true", 1));
    EXPECT_EQ(QString::fromLatin1(p.inst.read(kProgramIni)), QString::fromLatin1(crlf(expected)));
    EXPECT_TRUE(p.inst.messages.boxes.empty());
}

TEST(ServoKeys, IntegratedRunReadsTheProjectFolderAndWritesTheInstallation)
{
    Project p(projectSection("false", "false", 0) + machine(1, "Filler", 1, slot(1, 2, "false", "false", 1)) +
                  machine(2, "Capper", 0),
              kBothServed, true);
    // The suite's project folder has its own program.ini, read at start.
    p.inst.writeIni(QStringLiteral("project/parameter/program.ini"),
                    projectSection("true", "true", 0) + machine(1, "Filler", 1, slot(1, 6, "true", "false", 2)) +
                        QStringLiteral("[Machine2]\n"));
    p.inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                    QStringLiteral("[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\n").arg(p.inst.path(QStringLiteral("project"))));
    const QByteArray projectBefore = p.inst.read(QStringLiteral("project/parameter/program.ini"));
    window::Kalvia& w = p.setup();
    EXPECT_TRUE(w.MitFehler->isChecked());
    EXPECT_EQ(w.state().Servo[1][1], 6);
    EXPECT_EQ(w.WriteInputs(), 1);

    EXPECT_EQ(p.inst.read(QStringLiteral("project/parameter/program.ini")), projectBefore);
    EXPECT_EQ(p.inst.read(kProgramIni),
              crlf(projectSection("true", "true", 1) + machine(1, "Filler", 1, slot(1, 6, "true", "false", 2)) +
                   machine(2, "Capper", -1)));
    EXPECT_TRUE(p.inst.read(kCfg).contains("S_Prog=1.0.0 - Integrated\r\n"));
}

TEST(ServoKeys, NoProgramIniToWriteToIsReportedAndNothingIsWritten)
{
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "window");
        Project p(QString(), kBothServed);
        p.inst.context.mode.SilentMode = silent;
        window::Kalvia w(p.inst.context);
        p.inst.context.project.ExistingMachines = QStringList{QString(), QStringLiteral("Filler")};
        w.state().NumberOfServos[1] = 1;
        const QByteArray cfgBefore = p.inst.read(kCfg);
        if (!silent)
            p.inst.messages.expect(Answer::Yes);
        EXPECT_EQ(w.WriteInputs(), 1);

        EXPECT_FALSE(p.inst.exists(kProgramIni));
        EXPECT_FALSE(p.inst.exists(QStringLiteral("program.ini")));
        EXPECT_EQ(p.inst.read(kCfg), cfgBefore);
        ASSERT_EQ(p.logLines().size(), 1);
        EXPECT_TRUE(p.logLines()[0].startsWith(QStringLiteral("Fehler in ServoView / ServoView_Config / WriteInputs (Nr. 53) :File not found: ") +
                                               p.inst.path(kProgramIni)));
        if (silent) {
            EXPECT_TRUE(p.inst.read(QStringLiteral("ZeltoServicePack.log")).contains("the servo configuration was not saved"));
            EXPECT_TRUE(p.inst.messages.boxes.empty());
        } else {
            ASSERT_EQ(p.inst.messages.boxes.size(), 1u);
            EXPECT_TRUE(p.inst.messages.boxes[0].text.contains(QStringLiteral("the servo configuration was not saved")));
        }
    }
}

TEST(ServoKeys, ServoCountOutsideTheSlotsNeverReachesBeyondThem)
{
    QString slotKeys;
    for (int s = 1; s <= 52; ++s)
        slotKeys += slot(s, s % 50 + 1, "false", "false", 1);
    const QString text = projectSection() + machine(1, "Filler", 52, slotKeys) + machine(2, "Capper", -3, slot(1, 4, "true", "true", 1));
    Project p(text, kBothServed);
    // Slots 51 and 52 are reported once each while reading ...
    p.inst.messages.expect(Answer::Yes);
    p.inst.messages.expect(Answer::Yes);
    window::Kalvia& w = p.setup();
    EXPECT_EQ(p.inst.messages.boxes.size(), 2u);
    const environment::EditingState& st = w.state();
    EXPECT_EQ(st.NumberOfServos[1], 52);
    EXPECT_EQ(st.Servo[1][50], 1);
    EXPECT_EQ(st.NumberOfServos[2], -3);
    EXPECT_EQ(st.Servo[2][1], 0);

    // ... and once each while writing; the counts go back unchanged and the file is as it was.
    p.inst.messages.expect(Answer::Yes);
    p.inst.messages.expect(Answer::Yes);
    EXPECT_EQ(w.WriteInputs(), 1);
    EXPECT_EQ(p.inst.messages.boxes.size(), 4u);
    EXPECT_EQ(p.inst.read(kProgramIni), crlf(text));
    const QStringList log = p.logLines();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[0], QStringLiteral("Fehler in ServoView / ServoView_Config / SetupUserInterFace (Nr. 9) :Subscript out of range"));
    EXPECT_EQ(log[3], QStringLiteral("Fehler in ServoView / ServoView_Config / WriteInputs (Nr. 9) :Subscript out of range"));
}

TEST(ServoKeys, MachinesBeyondFiveGetNoTabAndNoData)
{
    QString text = projectSection("false", "false", 0, 6);
    for (int m = 1; m <= 6; ++m)
        text += machine(m, "M", 1, slot(1, m, "false", "false", 1));
    Project p(text, QStringLiteral("[Project]\nForMachine1=true\nForMachine5=true\nForMachine6=true\n"));
    p.inst.messages.expect(Answer::Yes); // machine 6 while setting up
    window::Kalvia& w = p.setup();
    EXPECT_EQ(w.TabStripMachine->count(), 2);
    EXPECT_EQ(w.state().TabToMachine[2], 5);
    EXPECT_EQ(w.state().Servo[5][1], 5);

    p.inst.messages.expect(Answer::Yes); // machine 6 while writing
    EXPECT_EQ(w.WriteInputs(), 1);
    EXPECT_EQ(p.inst.messages.boxes.size(), 2u);
    // Unserved machines 2 to 4 get a count of 0; machine 6 keeps its keys.
    QString expected = projectSection("false", "false", 0, 6);
    for (int m = 1; m <= 6; ++m)
        expected += machine(m, "M", (m == 1 || m == 5 || m == 6) ? 1 : 0, slot(1, m, "false", "false", 1));
    EXPECT_EQ(p.inst.read(kProgramIni), crlf(expected));
}

TEST(ServoKeys, EmptyMachineListIsReportedAtStartAndAtOk)
{
    Project p(projectSection("true", "false", 0, 0), kBothServed);
    for (int i = 0; i < 3; ++i)
        p.inst.messages.expect(Answer::Yes); // machine loop and first tab at start, machine loop at OK
    window::Kalvia& w = p.setup();
    EXPECT_EQ(w.TabStripMachine->count(), 0);
    EXPECT_EQ(w.WriteInputs(), 1);
    EXPECT_EQ(p.inst.read(kProgramIni), crlf(projectSection("true", "false", 0, 0)));
    EXPECT_EQ(p.inst.messages.boxes.size(), 3u);
}
