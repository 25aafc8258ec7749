#include "platform/files.h"
#include "platform/inistore.h"
#include "support/installation.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>


using platform::fileExists;
using platform::resolvePath;

TEST(Files, FindsOrdinaryFilesInAnyLetterCase)
{
    const QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    for (const char* name : {"Parameter/Program.ini", "Parameter/program.INI"})
        support::writeFile(path(name), {});
    EXPECT_EQ(resolvePath(path("PARAMETER/program.INI")), path("Parameter/program.INI"));
    EXPECT_EQ(resolvePath(path("parameter/Program.ini")), path("Parameter/Program.ini"));
    // A name that matches nothing keeps its letter case, so a file created under it gets it.
    EXPECT_EQ(resolvePath(path("parameter/New.ini")), path("Parameter/New.ini"));
    EXPECT_TRUE(fileExists(path("PARAMETER/PROGRAM.INI")));
    EXPECT_FALSE(fileExists(path("parameter")));
    EXPECT_FALSE(fileExists(path("parameter/missing.ini")));
    EXPECT_FALSE(fileExists(QString()));
}

// A write the file system refuses half-way (a full disk, here a file size limit of 64 bytes):
// every writer reports it and leaves the old file byte for byte, with no temporary file beside it.
TEST(Files, WriteRefusedHalfWayKeepsTheOldFile)
{
    const QTemporaryDir dir;
    const QString ini = dir.filePath("program.ini"), copy = dir.filePath("copy.mdb");
    const QString source = dir.filePath("source.mdb");
    const QByteArray old = "[S]\r\nk=1\r\n";
    for (const QString& path : {ini, copy})
        support::writeFile(path, old);
    support::writeFile(source, QByteArray(1000, 'x'));
    QString why, copyWhy;
    bool written = true, copied = true;
    int iniWritten = 1, batchCommitted = 1;
    support::withFileSizeLimit(64, [&] {
        written = platform::writeFileAtomically(ini, QByteArray(1000, 'k'), &why);
        iniWritten = platform::WritePrivateProfileStringA("S", "k", QString(500, QLatin1Char('v')), ini);
        platform::IniWriteBatch batch(ini);
        platform::WritePrivateProfileStringA("S", "long", QString(500, QLatin1Char('v')), ini);
        batchCommitted = batch.commit();
        copied = platform::replaceFileByCopy(source, copy, &copyWhy);
    });

    EXPECT_FALSE(written);
    EXPECT_TRUE(why.contains(ini)) << why.toStdString();
    EXPECT_EQ(iniWritten, 0);
    EXPECT_EQ(batchCommitted, 0);
    EXPECT_FALSE(copied);
    EXPECT_TRUE(copyWhy.contains(copy)) << copyWhy.toStdString();
    for (const QString& path : {ini, copy})
        EXPECT_EQ(support::readFile(path), old) << path.toStdString();
    EXPECT_EQ(support::filesIn(dir.path()), (QStringList{"copy.mdb", "program.ini", "source.mdb"}));
}
