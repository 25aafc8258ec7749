#include "environment/projectsettings.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

TEST(ProjectSettings, SuiteMachinesStopAtDashEmptyOrFive)
{
    const struct { const char* tag; const char* common; QStringList expected; } cases[] = { // common nullptr: no file
        {"stops-at-dash", "NameM1=Filler\nNameM2=Packer\nNameM3=-\nNameM4=Late\n", {"", "Filler", "Packer"}},
        {"stops-at-empty", "NameM1=Filler\nNameM2=\nNameM3=Late\n", {"", "Filler"}},
        {"stops-at-missing", "NameM1=Filler\nNameM3=Late\n", {"", "Filler"}},
        {"five-at-most", "NameM1=A\nNameM2=B\nNameM3=C\nNameM4=D\nNameM5=E\nNameM6=F\n", {"", "A", "B", "C", "D", "E"}},
        {"none", "NameM1=-\n", {}},
        {"no-configuration-file", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        inst.context.mode.IntegratedMode = true;
        if (c.common)
            inst.writeIni("parameter/qelconfiguration.ini", "[Common]\nSaveAndRestore=" + inst.root() + "\n" + c.common);
        inst.writeIni("parameter/program.ini", "[Project]\nNumberOfMachines=2\n");
        GetExistingMachines(inst.context, inst.path("parameter/qelconfiguration.ini"));
        EXPECT_EQ(inst.context.project.ExistingMachines, c.expected);
        EXPECT_EQ(inst.context.project.ProgramIniPath, c.common ? inst.path("parameter/program.ini") : QString());
    }
}

TEST(ProjectSettings, StandaloneMachinesFromProgramIni)
{
    const struct { const char* tag; const char* ini; QStringList expected; } cases[] = {
        {"three-one-unnamed", "[Project]\nNumberOfMachines=3\n[Machine1]\nMachineName=A\n[Machine3]\nMachineName=C\n",
         {"", "A", "", "C"}},
        {"no-count", "[Machine1]\nMachineName=A\n", {}},
        {"count-not-a-number", "[Project]\nNumberOfMachines=x\n[Machine1]\nMachineName=A\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        inst.writeIni("parameter/qelconfiguration.ini", "[Common]\nNameM1=Suite\n"); // does not count here
        inst.writeIni("parameter/Program.ini", c.ini);
        GetExistingMachines(inst.context, inst.path("parameter/qelconfiguration.ini"));
        EXPECT_EQ(inst.context.project.ExistingMachines, c.expected);
    }
}

TEST(ProjectSettings, AdditionalFieldsStartWithPart)
{
    const struct { const char* entry; QStringList fields; const char* sql; } cases[] = {
        {"alpha,beta", {"", "part", "alpha", "beta"}, ", PRESET_DEFS.part, PRESET_DEFS.alpha, PRESET_DEFS.beta"},
        {"", {"", "part"}, ", PRESET_DEFS.part"},
        {"alpha,", {"", "part", "alpha", ""}, ", PRESET_DEFS.part, PRESET_DEFS.alpha, PRESET_DEFS."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        support::Installation inst;
        inst.writeIni("ServoView/ServoView.cfg", QStringLiteral("[Project]\nDataBaseAdditionalFields=%1\n").arg(c.entry));
        GetAddFields(inst.context);
        EXPECT_EQ(inst.context.project.AdditionalFields, c.fields);
        EXPECT_EQ(inst.context.project.AdditionalFieldsSQL, c.sql);
        EXPECT_EQ(inst.context.project.AdditionalFieldsCount, c.fields.size() - 1);
    }
}
