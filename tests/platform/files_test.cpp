#include "platform/files.h"
#include "support/printing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::fileExists;
using platform::resolvePath;

TEST(Files, FindsOrdinaryFilesInAnyLetterCase)
{
    const QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    QDir(dir.path()).mkdir("Parameter");
    for (const char* name : {"Parameter/Program.ini", "Parameter/program.INI"})
        QFile(path(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(resolvePath(path("PARAMETER/program.INI")), path("Parameter/program.INI"));
    EXPECT_EQ(resolvePath(path("parameter/Program.ini")), path("Parameter/Program.ini"));
    // A name that matches nothing keeps its letter case, so a file created under it gets it.
    EXPECT_EQ(resolvePath(path("parameter/New.ini")), path("Parameter/New.ini"));
    EXPECT_TRUE(fileExists(path("PARAMETER/PROGRAM.INI")));
    EXPECT_FALSE(fileExists(path("parameter")));
    EXPECT_FALSE(fileExists(path("parameter/missing.ini")));
    EXPECT_FALSE(fileExists(QString()));
}
