#include "environment/paths.h"
#include "support/installation.h"

#include <gtest/gtest.h>

using namespace environment;
using platform::Answer;
using support::ProgramEnded;

TEST(Paths, ComponentFilesLieBesideTheProgramFolder)
{
    support::Installation inst;
    inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), QStringLiteral("[Common]\n"));
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), QStringLiteral("[Project]\n"));
    auto& ctx = inst.context;
    EXPECT_EQ(installationRoot(ctx), inst.root());
    EXPECT_EQ(GetOCXName(ctx), QStringLiteral("ServoView"));
    EXPECT_EQ(GetQELConfigurationIniPath(ctx), inst.path(QStringLiteral("parameter/qelconfiguration.ini")));
    EXPECT_EQ(GetCFGPath(ctx), inst.path(QStringLiteral("ServoView/ServoView.cfg")));
    EXPECT_EQ(GetPathOCXMDB(ctx), inst.path(QStringLiteral("ServoView/ServoView.mdb")));
    EXPECT_EQ(GetPathSourceOCXMDB(ctx), QString());
    inst.write(QStringLiteral("ServoView/ServoView_Source.mdb"), "x");
    EXPECT_EQ(GetPathSourceOCXMDB(ctx), inst.path(QStringLiteral("ServoView/ServoView_Source.mdb")));
}

TEST(Paths, FilesAreFoundWithoutRegardToLetterCase)
{
    support::Installation inst;
    inst.write(QStringLiteral("parameter/QELConfiguration.INI"), "");
    inst.write(QStringLiteral("parameter/program.ini"), "");
    inst.write(QStringLiteral("ServoView/SERVOVIEW.cfg"), "");
    auto& ctx = inst.context;
    EXPECT_EQ(GetQELConfigurationIniPath(ctx), inst.path(QStringLiteral("parameter/QELConfiguration.INI")));
    EXPECT_EQ(GetProgramIniPath(ctx, 1), inst.path(QStringLiteral("parameter/program.ini")));
    EXPECT_EQ(GetCFGPath(ctx), inst.path(QStringLiteral("ServoView/SERVOVIEW.cfg")));
}

TEST(Paths, ProgramAtTheFileSystemRootHasAnEmptyRoot)
{
    support::Installation inst;
    for (const char* folder : {"/", "/tools"}) {
        SCOPED_TRACE(folder);
        inst.process.folder = QString::fromLatin1(folder);
        EXPECT_EQ(installationRoot(inst.context), QString());
        EXPECT_EQ(GetPathOCXMDB(inst.context), QStringLiteral("/ServoView/ServoView.mdb"));
        EXPECT_EQ(GetQELConfigurationIniPath(inst.context), QString());
    }
}

TEST(Paths, ProgramIniComesFromTheProjectFolderOnlyWhenReadingIntegrated)
{
    support::Installation inst;
    inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\n"));
    inst.writeIni(QStringLiteral("project/parameter/program.ini"), QStringLiteral("[Project]\n"));
    const QString installed = inst.path(QStringLiteral("parameter/Program.ini"));
    const QString projectIni = inst.path(QStringLiteral("project/parameter/program.ini"));
    auto& ctx = inst.context;

    // Standalone: both modes name the installation's file.
    EXPECT_EQ(GetProgramIniPath(ctx, 1), installed);
    EXPECT_EQ(GetProgramIniPath(ctx, 2), installed);

    ctx.mode.IntegratedMode = true;
    for (const QString& folder : {inst.path(QStringLiteral("project")), inst.path(QStringLiteral("project/"))}) {
        SCOPED_TRACE(folder.toStdString());
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                      QStringLiteral("[Common]\nSaveAndRestore=%1\n").arg(folder));
        EXPECT_EQ(GetProgramIniPath(ctx, 1), projectIni);
        EXPECT_EQ(GetProgramIniPath(ctx, 2), installed);
    }

    // A project folder without the file, and no configuration INI at all: nothing to read.
    inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"),
                  QStringLiteral("[Common]\nSaveAndRestore=%1\n").arg(inst.path(QStringLiteral("elsewhere"))));
    EXPECT_EQ(GetProgramIniPath(ctx, 1), QString());
    QFile::remove(inst.path(QStringLiteral("parameter/qelconfiguration.ini")));
    EXPECT_EQ(GetProgramIniPath(ctx, 1), QString());
    EXPECT_EQ(GetProgramIniPath(ctx, 2), installed);

    QFile::remove(installed);
    EXPECT_EQ(GetProgramIniPath(ctx, 2), QString());
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(Paths, MachineCopyLiesInTheSaveAndRestoreFolder)
{
    support::Installation inst;
    inst.write(QStringLiteral("project/ServoView/ServoView.mdb"), "x");
    const QString copy = inst.path(QStringLiteral("project/ServoView/ServoView.mdb"));
    const QString ini = inst.path(QStringLiteral("parameter/qelconfiguration.ini"));
    for (const QString& folder : {inst.path(QStringLiteral("project")), inst.path(QStringLiteral("project/"))}) {
        SCOPED_TRACE(folder.toStdString());
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), QStringLiteral("[Common]\nSaveAndRestore=%1\n").arg(folder));
        EXPECT_EQ(GetPathMachineCopyMDB(inst.context, ini), copy);
    }
    // No folder named, a folder without the copy, no INI file: the empty string.
    for (const QString& text : {QStringLiteral("[Common]\n"), QStringLiteral("[Common]\nSaveAndRestore=%1\n").arg(inst.root())}) {
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), text);
        EXPECT_EQ(GetPathMachineCopyMDB(inst.context, ini), QString());
    }
    EXPECT_EQ(GetPathMachineCopyMDB(inst.context, QString()), QString());
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(Paths, MissingComponentConfigurationEndsTheProgram)
{
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "window");
        support::Installation inst;
        inst.context.mode.SilentMode = silent;
        if (!silent)
            inst.messages.expect(Answer::Ok);
        int code = -1;
        try {
            GetCFGPath(inst.context);
        } catch (const ProgramEnded& ended) {
            code = ended.code;
        }
        EXPECT_EQ(code, 2);
        const QString text = QStringLiteral("File not found: \n\r") + inst.path(QStringLiteral("ServoView/ServoView.cfg")).toUpper();
        if (silent) {
            EXPECT_EQ(inst.read(QStringLiteral("ZeltoServicePack.log")),
                      ("! Fault ServoView_Config: " + text + "\r\n").toLatin1());
        } else {
            ASSERT_EQ(inst.messages.boxes.size(), 1u);
            EXPECT_EQ(inst.messages.boxes[0].text, text);
            EXPECT_EQ(inst.messages.boxes[0].icon, platform::Icon::Critical);
        }
    }
}
