#include "environment/projectsettings.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

namespace {

const QString kConfig = QStringLiteral("parameter/qelconfiguration.ini");

QStringList names(std::initializer_list<const char*> list)
{
    QStringList result{QString()};
    for (const char* name : list)
        result << QString::fromLatin1(name);
    return result;
}

} // namespace

TEST(ProjectSettings, IntegratedMachinesComeFromTheSuiteAndStopAtDashOrEmptyOrFive)
{
    const struct {
        const char* tag;
        const char* common;
        QStringList expected;
    } cases[] = {
        {"stops-at-dash", "NameM1=Filler\nNameM2=Packer\nNameM3=-\nNameM4=Late\n", names({"Filler", "Packer"})},
        {"stops-at-empty", "NameM1=Filler\nNameM2=\nNameM3=Late\n", names({"Filler"})},
        {"stops-at-missing", "NameM1=Filler\nNameM3=Late\n", names({"Filler"})},
        {"five-at-most", "NameM1=A\nNameM2=B\nNameM3=C\nNameM4=D\nNameM5=E\nNameM6=F\n", names({"A", "B", "C", "D", "E"})},
        {"none", "NameM1=-\n", QStringList()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        inst.context.mode.IntegratedMode = true;
        inst.writeIni(kConfig, QStringLiteral("[Common]\nSaveAndRestore=%1\n").arg(inst.root()) + QString::fromLatin1(c.common));
        inst.writeIni(QStringLiteral("parameter/program.ini"), QStringLiteral("[Project]\nNumberOfMachines=2\n"));
        GetExistingMachines(inst.context, inst.path(kConfig));
        EXPECT_EQ(inst.context.project.ExistingMachines, c.expected);
        EXPECT_EQ(inst.context.project.ProgramIniPath, inst.path(QStringLiteral("parameter/program.ini")));
    }
}

TEST(ProjectSettings, IntegratedStartWithoutSuiteConfigurationFindsNoMachine)
{
    for (const bool emptyPath : {true, false}) {
        support::Installation inst;
        inst.context.mode.IntegratedMode = true;
        GetExistingMachines(inst.context, emptyPath ? QString() : inst.path(kConfig));
        EXPECT_TRUE(inst.context.project.ExistingMachines.isEmpty());
        EXPECT_TRUE(inst.context.project.ProgramIniPath.isEmpty());
    }
}

TEST(ProjectSettings, StandaloneMachinesComeFromTheProgramIni)
{
    const struct {
        const char* tag;
        const char* ini;
        QStringList expected;
    } cases[] = {
        {"three-one-unnamed", "[Project]\nNumberOfMachines=3\n[Machine1]\nMachineName=A\n[Machine3]\nMachineName=C\n",
         names({"A", "", "C"})},
        {"no-count", "[Machine1]\nMachineName=A\n", QStringList()},
        {"zero", "[Project]\nNumberOfMachines=0\n[Machine1]\nMachineName=A\n", QStringList()},
        {"count-not-a-number", "[Project]\nNumberOfMachines=x\n", QStringList()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        // The suite's names do not count in a standalone start.
        inst.writeIni(kConfig, QStringLiteral("[Common]\nNameM1=Suite\n"));
        inst.writeIni(QStringLiteral("parameter/Program.ini"), QString::fromLatin1(c.ini));
        GetExistingMachines(inst.context, inst.path(kConfig));
        EXPECT_EQ(inst.context.project.ExistingMachines, c.expected);
    }
}

TEST(ProjectSettings, AdditionalFieldsAlwaysStartWithPart)
{
    const struct {
        const char* entry; // nullptr: no entry
        QStringList fields;
        const char* sql;
    } cases[] = {
        {"alpha,beta", {"", "part", "alpha", "beta"}, ", PRESET_DEFS.part, PRESET_DEFS.alpha, PRESET_DEFS.beta"},
        {nullptr, {"", "part"}, ", PRESET_DEFS.part"},
        {"", {"", "part"}, ", PRESET_DEFS.part"},
        {"alpha,", {"", "part", "alpha", ""}, ", PRESET_DEFS.part, PRESET_DEFS.alpha, PRESET_DEFS."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry ? c.entry : "<none>");
        support::Installation inst;
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"),
                      c.entry ? QStringLiteral("[Project]\nDataBaseAdditionalFields=%1\n").arg(QString::fromLatin1(c.entry))
                              : QStringLiteral("[Project]\n"));
        EXPECT_EQ(GetAdditionalFieldsMDB(inst.context), c.fields);
        GetAddFields(inst.context);
        EXPECT_EQ(inst.context.project.AdditionalFields, c.fields);
        EXPECT_EQ(inst.context.project.AdditionalFieldsSQL, QString::fromLatin1(c.sql));
        EXPECT_EQ(inst.context.project.AdditionalFieldsCount, c.fields.size() - 1);
    }
}
