#include "platform/cp1252.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path, const QByteArray& bytes = {})
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray slurp(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Cp1252, RoundTripsTheCodePageAndWritesQuestionMarksForTheRest)
{
    const QString text = QStringLiteral("Größe 5 € – “x” Ž");
    const QByteArray bytes = platform::toCp1252(text);
    EXPECT_EQ(bytes, QByteArray("Gr\xF6\xDF" "e 5 \x80 \x96 \x93x\x94 \x8E"));
    EXPECT_EQ(platform::fromCp1252(bytes), text);
    EXPECT_EQ(platform::toCp1252(QStringLiteral("Ω中")), QByteArray("??"));
}

TEST(Files, ResolvesNamesWithoutRegardToLetterCaseAndPrefersTheExactName)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Parameter"));
    touch(dir.path() + QStringLiteral("/Parameter/Program.ini"));
    touch(dir.path() + QStringLiteral("/Parameter/program.INI"));

    EXPECT_EQ(platform::resolvePath(dir.path() + QStringLiteral("/PARAMETER/program.INI")),
              dir.path() + QStringLiteral("/Parameter/program.INI"));
    EXPECT_EQ(platform::resolvePath(dir.path() + QStringLiteral("/parameter/Program.ini")),
              dir.path() + QStringLiteral("/Parameter/Program.ini"));
    // A name that matches nothing keeps its letter case, so a created file gets it.
    EXPECT_EQ(platform::resolvePath(dir.path() + QStringLiteral("/parameter/New.ini")),
              dir.path() + QStringLiteral("/Parameter/New.ini"));
    EXPECT_TRUE(platform::fileExists(dir.path() + QStringLiteral("/PARAMETER/PROGRAM.INI")));
}

TEST(Files, OnlyOrdinaryFilesExist)
{
    QTemporaryDir dir;
    EXPECT_FALSE(platform::fileExists(QString()));
    EXPECT_FALSE(platform::fileExists(dir.path()));
    EXPECT_FALSE(platform::fileExists(dir.path() + QStringLiteral("/missing.txt")));
}

TEST(Files, AppendLineWritesTheCodePageWithCrLfAndFailsQuietlyOnABadPath)
{
    QTemporaryDir dir;
    const QString log = dir.path() + QStringLiteral("/log.txt");
    EXPECT_TRUE(platform::appendLine(log, QStringLiteral("first ä")));
    EXPECT_TRUE(platform::appendLine(log, QStringLiteral("second")));
    EXPECT_EQ(slurp(log), QByteArray("first \xE4\r\nsecond\r\n"));

    EXPECT_FALSE(platform::appendLine(QString(), QStringLiteral("x")));
    EXPECT_FALSE(platform::appendLine(dir.path() + QStringLiteral("/no/such/folder/log.txt"), QStringLiteral("x")));
}

TEST(Files, ListsMatchingFilesInNameOrderIgnoringLetterCase)
{
    QTemporaryDir dir;
    for (const char* name : {"Servo_2_1024.gif", "servo_10_1024.GIF", "Servo_1_800.gif", "other.gif"})
        touch(dir.path() + QLatin1Char('/') + QLatin1String(name));
    QDir(dir.path()).mkpath(QStringLiteral("Servo_dir.gif"));

    const QStringList found = platform::listFiles(dir.path(), QStringLiteral("Servo_*.gif"));
    QStringList names;
    for (const QString& f : found)
        names << QFileInfo(f).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Servo_1_800.gif"), QStringLiteral("Servo_2_1024.gif"),
                                   QStringLiteral("servo_10_1024.GIF")}));
}

