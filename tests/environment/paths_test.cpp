#include "environment/paths.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;

namespace {

void setSaveAndRestore(const support::Installation& inst, const QString& folder)
{
    inst.writeIni("parameter/qelconfiguration.ini", "[Common]\nSaveAndRestore=" + folder + "\n");
}

} // namespace

TEST(Paths, ComponentFilesBesideTheProgramFolder)
{
    support::Installation inst;
    inst.write("parameter/QELConfiguration.INI", "");
    inst.write("ServoView/SERVOVIEW.cfg", "");
    auto& ctx = inst.context;
    EXPECT_EQ(GetQELConfigurationIniPath(ctx), inst.path("parameter/QELConfiguration.INI"));
    EXPECT_EQ(GetCFGPath(ctx), inst.path("ServoView/SERVOVIEW.cfg"));
    EXPECT_EQ(GetPathOCXMDB(ctx), inst.path("ServoView/ServoView.mdb"));
    EXPECT_EQ(GetPathSourceOCXMDB(ctx), QString());
    inst.write("ServoView/servoview_source.MDB", "x");
    EXPECT_EQ(GetPathSourceOCXMDB(ctx), inst.path("ServoView/servoview_source.MDB"));
    inst.process.folder = "/tools"; // at the top of the file system the root is empty
    EXPECT_EQ(GetPathOCXMDB(ctx), "/ServoView/ServoView.mdb");
    EXPECT_EQ(GetQELConfigurationIniPath(ctx), QString());
}

// The project's Program.ini (integrated only) and the machine copy are found in SaveAndRestore,
// given with or without its final slash.
TEST(Paths, ProjectFilesInSaveAndRestore)
{
    support::Installation inst;
    inst.write("parameter/Program.ini", "");
    inst.write("project/parameter/program.ini", "");
    inst.write("project/ServoView/ServoView.mdb", "x");
    const QString installed = inst.path("parameter/Program.ini"), ini = inst.path("parameter/qelconfiguration.ini");
    setSaveAndRestore(inst, inst.path("project"));
    EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Read), installed); // standalone
    inst.context.mode.IntegratedMode = true;
    for (const char* folder : {"project", "project/"}) {
        setSaveAndRestore(inst, inst.path(folder));
        EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Read), inst.path("project/parameter/program.ini")) << folder;
        EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Write), installed) << folder;
        EXPECT_EQ(GetPathMachineCopyMDB(inst.context, ini), inst.path("project/ServoView/ServoView.mdb")) << folder;
    }
    setSaveAndRestore(inst, inst.path("elsewhere")); // a project folder without the files
    EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Read), QString());
    EXPECT_EQ(GetPathMachineCopyMDB(inst.context, ini), QString());
    EXPECT_EQ(GetPathMachineCopyMDB(inst.context, QString()), QString());
    QFile::remove(ini);
    EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Read), QString());
    QFile::remove(installed);
    EXPECT_EQ(GetProgramIniPath(inst.context, ProgramIni::Write), QString());
}

TEST(Paths, MissingConfigurationEndsTheProgram)
{
    for (const bool silent : {false, true}) {
        support::Installation inst;
        inst.context.mode.SilentMode = silent;
        if (!silent)
            inst.messages.expect(platform::Answer::Ok);
        EXPECT_EQ(support::endCode([&] { GetCFGPath(inst.context); }), 2) << silent;
        const QString text = "File not found: \n\r" + inst.path("ServoView/ServoView.cfg").toUpper();
        EXPECT_EQ(silent ? QString::fromUtf8(inst.read("ZeltoServicePack.log")) : inst.messages.boxes.at(0).text,
                  silent ? "! Fault ServoView_Config: " + text + "\r\n" : text);
    }
}
