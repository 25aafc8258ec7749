#include "editedwindow.h"

#include "environment/paths.h"
#include "environment/projectsettings.h"

using platform::Answer;

namespace {

const QString kProgramIni = u"parameter/Program.ini"_s;
const QString kBothServed = u"[Project]\nForMachine1=true\nForMachine2=true\n"_s;

// An installation with a project INI file and a .cfg, and the window set up on it as the start does.
struct Project {
    Project(const QString& programIni, const QString& cfg, bool integrated = false)
    {
        inst.context.mode.IntegratedMode = integrated;
        inst.writeIni(kProgramIni, programIni);
        inst.writeIni("ServoView/ServoView.cfg", cfg);
        inst.writeIni(u"parameter/qelconfiguration.ini"_s,
                      u"[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\nNameM3=-\n"_s.arg(inst.root()));
    }
    window::Kalvia& setup()
    {
        w = std::make_unique<window::Kalvia>(inst.context);
        environment::GetExistingMachines(inst.context, environment::GetQELConfigurationIniPath(inst.context));
        w->SetupUserInterFace();
        return *w;
    }

    support::Installation inst;
    std::unique_ptr<window::Kalvia> w;
};

QString machine(int m, const char* name, int count, const QString& slotKeys = {})
{
    return u"[Machine%1]\nMachineName=%2\nNumberOfServos=%3\n"_s.arg(m).arg(name).arg(count) + slotKeys;
}

QString slot(int s, int servo, const char* diag = "false", const char* ext = "false", int pic = 1)
{
    return u"Servo%1=%2\nDiag2Servo%1=%3\nExtServo%1=%4\nServoPic%1=%5\n"_s
        .arg(QString::number(s), QString::number(servo), diag, ext, QString::number(pic));
}

QString projectSection(const char* fault = "true", const char* menu = "false", int withType = 0, int machines = 2)
{
    return u"[Project]\nResolution=1024\nServoWithFault=%1\nServoWithMenu=%2\nServoWithMachineType=%3\n"
           "NumberOfMachines=%4\n"_s.arg(fault, menu, QString::number(withType), QString::number(machines));
}

QByteArray crlf(QString text) { return text.replace('\n', "\r\n").toLatin1(); }

} // namespace

TEST(ServoKeys, WriteChangesOnlyTheServoValues)
{
    // The first machine is cut from 5 slots to 3 and edited; the third has no tab.
    const QString tail = u"\n; the end\n"_s;
    Project p(u"; the project\n"_s + projectSection("TRUE", "false", 0, 3) + u"VWStudio=FALSE\n\n"_s +
                  machine(1, "Filler", 5,
                          slot(1, 3, "true") + slot(2, 7, "yes") + slot(3, 9, "false", "false", 0) + slot(4, 10) + slot(5, 11)) +
                  machine(2, "Capper", 2, slot(1, 1)) + machine(3, "Labeller", 4, slot(1, 5, "true", "true")) + tail,
              u"[Project]\nForMachine1=true\nForMachine2=true\nForMachine3=false\n"_s);
    window::Kalvia& w = p.setup();
    environment::EditingState& st = w.state();
    st.NumberOfServos[1] = 3;
    st.Servo[1][2] = 8;
    st.ExtServo[1][3] = true;
    w.MitVorauswahl->setChecked(true);
    EXPECT_EQ(w.WriteInputs(), 1);

    // Slot 2 of machine 2 had no keys: they are added with what their absence read as. The third
    // machine's count becomes 0 and its slot keys stay.
    const QString expected =
        u"; the project\n"_s + projectSection("true", "true", 0, 3) + u"VWStudio=FALSE\n\n"_s +
        machine(1, "Filler", 3, slot(1, 3, "true") + slot(2, 8) + slot(3, 9, "false", "true") + slot(4, 10) + slot(5, 11)) +
        machine(2, "Capper", 2, slot(1, 1) + slot(2, -1)) + machine(3, "Labeller", 0, slot(1, 5, "true", "true")) + tail;
    EXPECT_EQ(QString::fromLatin1(p.inst.read(kProgramIni)), QString::fromLatin1(crlf(expected)));
}

TEST(ServoKeys, IntegratedRunReadsTheSuitesProject)
{
    Project p(projectSection("false", "false") + machine(1, "Filler", 1, slot(1, 2)) + machine(2, "Capper", 0),
              kBothServed, true);
    const QString project = projectSection("true", "true") + machine(1, "Filler", 1, slot(1, 6, "true", "false", 2));
    p.inst.writeIni(u"project/parameter/program.ini"_s, project + u"[Machine2]\n"_s);
    p.inst.writeIni(u"parameter/qelconfiguration.ini"_s,
                    u"[Common]\nSaveAndRestore=%1\nNameM1=Filler\nNameM2=Capper\n"_s.arg(p.inst.path(u"project"_s)));
    const QByteArray projectBefore = p.inst.read(u"project/parameter/program.ini"_s);
    window::Kalvia& w = p.setup();
    EXPECT_EQ(w.TabStripMachine->tabText(0), u"Filler"_s);
    EXPECT_TRUE(w.state().WithMachineType); // always per machine type when integrated
    EXPECT_EQ(w.WriteInputs(), 1);

    EXPECT_EQ(p.inst.read(u"project/parameter/program.ini"_s), projectBefore);
    EXPECT_EQ(p.inst.read(kProgramIni),
              crlf(projectSection("true", "true", 1) + machine(1, "Filler", 1, slot(1, 6, "true", "false", 2)) +
                   machine(2, "Capper", -1)));
}

TEST(ServoKeys, CountsBeyondTheTablesAreReported)
{
    QString slots52;
    for (int s = 1; s <= 52; ++s)
        slots52 += slot(s, s % 50 + 1);
    QString sixMachines = projectSection("false", "false", 0, 6);
    QString sixWritten = sixMachines;
    for (int m = 1; m <= 6; ++m) {
        sixMachines += machine(m, "M", 1, slot(1, m));
        sixWritten += machine(m, "M", m == 1 || m >= 5 ? 1 : 0, slot(1, m)); // unserved ones get 0
    }
    const struct { const char* tag; QString text, cfg, written; int tabs, boxesAtSetup, boxesAtWrite; } cases[] = {
        // Slots 51 and 52 once each; a negative count reads no slot.
        {"servo-counts", projectSection() + machine(1, "Filler", 52, slots52) + machine(2, "Capper", -3, slot(1, 4)),
         kBothServed, {}, 2, 2, 2},
        {"sixth-machine", sixMachines, u"[Project]\nForMachine1=true\nForMachine5=true\nForMachine6=true\n"_s,
         sixWritten, 2, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        Project p(c.text, c.cfg);
        for (int i = 0; i < c.boxesAtSetup + c.boxesAtWrite; ++i)
            p.inst.messages.expect(Answer::Yes);
        window::Kalvia& w = p.setup();
        EXPECT_EQ(p.inst.messages.boxes.size(), size_t(c.boxesAtSetup));
        EXPECT_EQ(w.TabStripMachine->count(), c.tabs);
        EXPECT_EQ(w.WriteInputs(), 1);
        EXPECT_TRUE(p.inst.messages.allAnswered());
        EXPECT_EQ(p.inst.read(kProgramIni), crlf(c.written.isNull() ? c.text : c.written));
    }
}
