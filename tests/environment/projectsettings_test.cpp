#include "environment/projectsettings.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

// Integrated: the suite's names up to a dash, an empty or a missing one, five at most. Standalone:
// Program.ini's count and names; the suite's do not count there.
TEST(ProjectSettings, MachinesFromTheSuiteOnlyIntegrated)
{
    // common nullptr: no configuration file; ini nullptr: a Program.ini of two machines.
    const struct { const char* tag; bool integrated; const char* common; QStringList names; const char* ini = nullptr; }
        cases[] = {
        {"stops-at-dash", true, "NameM1=Filler\nNameM2=Packer\nNameM3=-\nNameM4=Late\n", {"", "Filler", "Packer"}},
        {"stops-at-empty", true, "NameM1=Filler\nNameM2=\nNameM3=Late\n", {"", "Filler"}},
        {"stops-at-missing", true, "NameM1=Filler\nNameM3=Late\n", {"", "Filler"}},
        {"five-at-most", true, "NameM1=A\nNameM2=B\nNameM3=C\nNameM4=D\nNameM5=E\nNameM6=F\n",
         {"", "A", "B", "C", "D", "E"}},
        {"none", true, "NameM1=-\n", {}},
        {"no-configuration-file", true, nullptr, {}},
        {"three-one-unnamed", false, "NameM1=Suite\n", {"", "A", "", "C"},
         "[Project]\nNumberOfMachines=3\n[Machine1]\nMachineName=A\n[Machine3]\nMachineName=C\n"},
        {"no-count", false, "NameM1=Suite\n", {}, "[Machine1]\nMachineName=A\n"},
        {"count-not-a-number", false, "NameM1=Suite\n", {},
         "[Project]\nNumberOfMachines=x\n[Machine1]\nMachineName=A\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        inst.context.mode.IntegratedMode = c.integrated;
        if (c.common)
            inst.writeIni("parameter/qelconfiguration.ini", "[Common]\nSaveAndRestore=" + inst.root() + "\n" + c.common);
        inst.writeIni("parameter/program.ini", c.ini ? c.ini : "[Project]\nNumberOfMachines=2\n");
        GetExistingMachines(inst.context, inst.path("parameter/qelconfiguration.ini"));
        EXPECT_EQ(inst.context.project.ExistingMachines, c.names);
        EXPECT_EQ(inst.context.project.ProgramIniPath, c.common ? inst.path("parameter/program.ini") : QString());
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
