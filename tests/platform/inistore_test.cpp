#include "platform/inistore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using platform::GetPrivateProfileIntA;
using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

namespace {

class IniFile {
public:
    IniFile() : m_path(m_dir.path() + QStringLiteral("/test.ini")) {}
    explicit IniFile(const QByteArray& bytes) : IniFile() { write(bytes); }

    const QString& path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

    void write(const QByteArray& bytes) const
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray read() const
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QString readString(const QString& file, const char* section, const char* key, int size = 255)
{
    QString buffer;
    const int n = GetPrivateProfileStringA(QString::fromLatin1(section), QString::fromLatin1(key),
                                           QStringLiteral("<default>"), buffer, size, file);
    EXPECT_EQ(n, buffer.size());
    return buffer;
}

struct ReadCase {
    const char* tag;
    QByteArray file;
    const char* section;
    const char* key;
    const char* expected; // "<default>" when the key is not reachable
};

} // namespace

TEST(IniStore, ReadsTheFormattingVariantsOfTheFile)
{
    const QByteArray v300(300, 'x');
    const ReadCase cases[] = {
        {"plain", "[S]\r\nkey=value\r\n", "S", "key", "value"},
        {"blanks-around-equals", "[S]\r\n  key  =  value  \r\n", "S", "key", "value"},
        {"tabs-around-name-and-value", "[S]\r\n\tkey\t=\tvalue\t\r\n", "S", "key", "value"},
        {"names-in-other-letter-case", "[project]\r\nSERVOWITHFAULT=1\r\n", "PROJECT", "ServoWithFault", "1"},
        {"caller-names-with-blanks", "[S]\r\nkey=v\r\n", " S ", " key ", "v"},
        {"double-quotes", "[S]\r\nkey=\"  a b  \"\r\n", "S", "key", "  a b  "},
        {"single-quotes", "[S]\r\nkey='x'\r\n", "S", "key", "x"},
        {"unmatched-quotes-stay", "[S]\r\nkey=\"x'\r\n", "S", "key", "\"x'"},
        {"one-quote-stays", "[S]\r\nkey=\"\r\n", "S", "key", "\""},
        {"only-one-pair-removed", "[S]\r\nkey=\"\"x\"\"\r\n", "S", "key", "\"x\""},
        {"empty-value-is-present", "[S]\r\nkey=\r\n", "S", "key", ""},
        {"comment-line", "[S]\r\n;key=1\r\n", "S", "key", "<default>"},
        {"indented-comment-line", "[S]\r\n   ;key=1\r\n", "S", "key", "<default>"},
        {"semicolon-inside-value", "[S]\r\nkey=1 ;note\r\n", "S", "key", "1 ;note"},
        {"hash-is-text", "[S]\r\n#key=1\r\n", "S", "#key", "1"},
        {"line-without-equals", "[S]\r\nkey\r\n", "S", "key", "<default>"},
        {"value-with-equals", "[S]\r\nkey=a=b\r\n", "S", "key", "a=b"},
        {"duplicate-key-first-wins", "[S]\r\nkey=1\r\nkey=2\r\n", "S", "key", "1"},
        {"duplicate-section-first-only", "[S]\r\na=1\r\n[T]\r\n[S]\r\nkey=2\r\n", "S", "key", "<default>"},
        {"key-before-first-section", "key=1\r\n[S]\r\n", "S", "key", "<default>"},
        {"key-of-another-section", "[T]\r\nkey=1\r\n[S]\r\nother=2\r\n", "S", "key", "<default>"},
        {"no-trailing-newline", "[S]\r\nkey=last", "S", "key", "last"},
        {"lf-file", "[S]\nx=0\nkey=lf\n", "S", "key", "lf"},
        {"cr-file", "[S]\rx=0\rkey=cr\r", "S", "key", "cr"},
        {"mixed-line-ends", "[S]\r\nx=0\nkey=mixed\r[T]\r\n", "S", "key", "mixed"},
        {"blanks-inside-brackets", "[  S  ]\r\nkey=1\r\n", "S", "key", "1"},
        {"text-after-bracket", "[S] ; machine\r\nkey=1\r\n", "S", "key", "1"},
        {"header-without-bracket", "[S\r\nkey=1\r\n", "S", "key", "1"},
        {"indented-header", "   [S]\r\nkey=1\r\n", "S", "key", "1"},
        {"utf8-mark-is-part-of-the-first-line", "\xEF\xBB\xBF[S]\r\nkey=1\r\n", "S", "key", "<default>"},
        {"windows-1252", "[Gr\xD6\xDF" "e]\r\nW\xE4rme=\x80 5\r\n", "gr\xC3\xB6\xC3\x9f" "e", "W\xC3\x84RME", "\xE2\x82\xAC 5"},
        {"300-character-value", "[S]\r\nkey=" + v300 + "\r\n", "S", "key", nullptr},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.tag);
        IniFile file(c.file);
        QString buffer;
        const int n = GetPrivateProfileStringA(QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                               QStringLiteral("<default>"), buffer, 255, file.path());
        const QString expected = c.expected ? QString::fromUtf8(c.expected) : QString(254, QLatin1Char('x'));
        EXPECT_EQ(buffer, expected);
        EXPECT_EQ(n, expected.size());
    }
}

TEST(IniStore, MissingValuesGiveTheDefaultWithoutTrailingBlanks)
{
    IniFile file("[S]\r\nkey=1\r\n");
    const QString missingFile = file.folder() + QStringLiteral("/none.ini");
    for (const auto& [section, key, where] : {std::tuple{"S", "other", file.path()}, std::tuple{"T", "key", file.path()},
                                              std::tuple{"S", "key", missingFile}, std::tuple{"S", "key", QString()}}) {
        SCOPED_TRACE(std::string(section) + "/" + key + " in " + where.toStdString());
        QString buffer;
        EXPECT_EQ(GetPrivateProfileStringA(QString::fromLatin1(section), QString::fromLatin1(key),
                                           QStringLiteral(" ab c   "), buffer, 255, where),
                  5);
        EXPECT_EQ(buffer, QStringLiteral(" ab c"));
        // An all-blank default, as the program passes it, gives nothing at all.
        EXPECT_EQ(GetPrivateProfileStringA(QString::fromLatin1(section), QString::fromLatin1(key),
                                           QString(255, QLatin1Char(' ')), buffer, 255, where),
                  0);
        EXPECT_TRUE(buffer.isEmpty());
    }
}

TEST(IniStore, ReadsIntegersAsTheOperatingSystemDoes)
{
    const struct {
        const char* value;
        int expected;
    } cases[] = {
        {"42", 42},       {"42abc", 42},   {"abc", 0},       {"-1", -1},         {"+7", 7},
        {"  12  ", 12},   {"\"5\"", 5},    {"- 3", 0},       {"", -99},          {"1.9", 1},
        {"32768", 32768}, {"-40000", -40000}, {"4294967295", -1}, {"2147483648", -2147483647 - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        IniFile file(QByteArray("[S]\r\nkey=") + c.value + "\r\n");
        EXPECT_EQ(GetPrivateProfileIntA(QStringLiteral("S"), QStringLiteral("key"), -99, file.path()), c.expected);
    }
    IniFile file("[S]\r\n");
    EXPECT_EQ(GetPrivateProfileIntA(QStringLiteral("S"), QStringLiteral("key"), -1, file.path()), -1);
    EXPECT_EQ(GetPrivateProfileIntA(QStringLiteral("S"), QStringLiteral("key"), 7, file.folder() + QStringLiteral("/x")), 7);
}

namespace {

struct WriteCase {
    const char* tag;
    std::optional<QByteArray> before; // nothing: the file does not exist
    const char* section;
    const char* key;
    const char* value;
    QByteArray after;
};

} // namespace

TEST(IniStore, WritesChangeOnlyTheBytesOfTheEntry)
{
    const WriteCase cases[] = {
        {"new-file", std::nullopt, "Project", "Resolution", "1024", "[Project]\r\nResolution=1024\r\n"},
        {"empty-file", QByteArray(""), "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"replace-in-place-keeps-spelling-and-blanks",
         "; head\r\n[project]\r\n  ServoWithFault = TRUE\r\nx=1\r\n", "PROJECT", "servowithfault", "false",
         "; head\r\n[project]\r\n  ServoWithFault = false\r\nx=1\r\n"},
        {"replace-empty-value", "[S]\r\nk=\r\nz=1\r\n", "S", "k", "5", "[S]\r\nk=5\r\nz=1\r\n"},
        {"replace-blank-value", "[S]\r\nk =   \r\n", "S", "k", "5", "[S]\r\nk =5\r\n"},
        {"replace-quoted-value", "[S]\r\nk=\"a b\"  \r\n", "S", "k", "c", "[S]\r\nk=c\r\n"},
        {"replace-with-empty", "[S]\r\nk=abc\r\n", "S", "k", "", "[S]\r\nk=\r\n"},
        {"replace-first-of-duplicate-keys", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "3", "[S]\r\nk=3\r\nk=2\r\n"},
        {"replace-last-line-without-newline", "[S]\r\nk=1", "S", "k", "22", "[S]\r\nk=22"},
        {"new-key-after-last-entry", "[A]\r\nx=1\r\n; note\r\n\r\n[B]\r\ny=2\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n; note\r\n\r\n[B]\r\ny=2\r\n"},
        {"new-key-in-section-without-entries", "[A]\r\n\r\n[B]\r\n", "A", "z", "3", "[A]\r\nz=3\r\n\r\n[B]\r\n"},
        {"new-key-in-last-section-without-newline", "[A]\r\nx=1", "A", "z", "3", "[A]\r\nx=1\r\nz=3\r\n"},
        {"new-key-after-bare-header-without-newline", "[A]", "A", "z", "3", "[A]\r\nz=3\r\n"},
        {"new-key-goes-to-first-copy-of-section", "[A]\r\nx=1\r\n[B]\r\n[A]\r\nz=9\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n[B]\r\n[A]\r\nz=9\r\n"},
        {"new-key-ignores-lines-without-equals", "[A]\r\nx=1\r\nstray text\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\nstray text\r\n"},
        {"new-section-at-end", "[A]\r\nx=1\r\n\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
        {"new-section-after-missing-final-newline", "[A]\r\nx=1", "B", "y", "2", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"keys-before-first-section-stay-unreachable", "k=1\r\n[A]\r\n", "A", "k", "2", "k=1\r\n[A]\r\nk=2\r\n"},
        {"lf-file-keeps-lf", "[A]\nx=1\n", "A", "z", "3", "[A]\nx=1\nz=3\n"},
        {"cr-file-keeps-cr", "[A]\rx=1\r", "B", "z", "3", "[A]\rx=1\r[B]\rz=3\r"},
        {"mixed-line-ends-kept", "[A]\nx=1\r\n[B]\r\n", "A", "z", "3", "[A]\nx=1\r\nz=3\n[B]\r\n"},
        {"header-variants", "  [ A ] trailing\r\nx=1\r\n", "a", "x", "2", "  [ A ] trailing\r\nx=2\r\n"},
        {"utf8-mark-hides-first-header", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "2",
         "\xEF\xBB\xBF[A]\r\nx=1\r\n[A]\r\nx=2\r\n"},
        {"windows-1252-bytes", "[A]\r\nx=1\r\n", "A", "Name", "K\xC3\xA4se \xE2\x82\xAC \xE4\xB8\xAD",
         "[A]\r\nx=1\r\nName=K\xE4se \x80 ?\r\n"},
        {"comments-and-odd-bytes-untouched", "\x01;\xFF comment\r\n[A]\r\n  odd \x81 line\r\nx=1\r\n", "A", "x", "7",
         "\x01;\xFF comment\r\n[A]\r\n  odd \x81 line\r\nx=7\r\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.tag);
        IniFile file;
        if (c.before)
            file.write(*c.before);
        EXPECT_NE(WritePrivateProfileStringA(QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                             QString::fromUtf8(c.value), file.path()),
                  0);
        EXPECT_EQ(file.read(), c.after);
    }
}

TEST(IniStore, WrittenValuesReadBackAndExternalChangesAreSeen)
{
    IniFile file;
    const QString values[] = {QStringLiteral("true"), QStringLiteral("-3"), QStringLiteral("K\u00e4se"),
                              QStringLiteral("a;b#c"), QString()};
    for (const QString& value : values) {
        ASSERT_NE(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), value, file.path()), 0);
        EXPECT_EQ(readString(file.path(), "S", "k"), value);
    }
    file.write("[S]\r\nk=edited\r\n");
    EXPECT_EQ(readString(file.path(), "S", "k"), QStringLiteral("edited"));
}

TEST(IniStore, FindsTheFileWithoutRegardToLetterCase)
{
    IniFile file("[S]\r\nk=1\r\n");
    const QString other = file.folder() + QStringLiteral("/TEST.INI");
    EXPECT_EQ(readString(other, "S", "k"), QStringLiteral("1"));
    EXPECT_NE(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2"), other), 0);
    EXPECT_EQ(file.read(), QByteArray("[S]\r\nk=2\r\n"));
    EXPECT_FALSE(QFile::exists(other));
}

TEST(IniStore, FailedWriteReturnsZeroAndLeavesEverythingAsItWas)
{
    QTemporaryDir dir;
    // Folder missing, path naming a folder, no path at all.
    const QString missingFolder = dir.path() + QStringLiteral("/none/test.ini");
    EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1"), missingFolder), 0);
    EXPECT_FALSE(QFile::exists(missingFolder));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.ini")));
    EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1"),
                                         dir.path() + QStringLiteral("/folder.ini")),
              0);
    EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1"), QString()), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("folder.ini")});
}

TEST(IniStore, ReplacesTheFileAtomicallyAndOnlyWhenItsTextChanges)
{
    IniFile file("[S]\r\nk=1\r\n");
    ASSERT_EQ(QFile::setPermissions(file.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup), true);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &before), 0);

    // The same text: the file is not replaced.
    EXPECT_NE(WritePrivateProfileStringA(QStringLiteral("s"), QStringLiteral("K"), QStringLiteral("1"), file.path()), 0);
    struct stat same {};
    ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &same), 0);
    EXPECT_EQ(same.st_ino, before.st_ino);

    // A new text replaces the file as a whole (a new file renamed over it), keeping its permissions
    // and leaving no temporary file behind.
    EXPECT_NE(WritePrivateProfileStringA(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2"), file.path()), 0);
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(file.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("test.ini")});
    EXPECT_EQ(file.read(), QByteArray("[S]\r\nk=2\r\n"));
}

TEST(IniStore, BatchWritesAllOrNothingAndReadsItsOwnWrites)
{
    const QByteArray original = "; keep\r\n[Machine1]\r\nServo1=3\r\n";
    IniFile ini(original);
    {
        platform::IniWriteBatch batch(ini.path());
        EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("Machine1"), QStringLiteral("Servo1"),
                                             QStringLiteral("7"), ini.path()),
                  1);
        EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("Machine2"), QStringLiteral("Servo1"),
                                             QStringLiteral("9"), ini.path()),
                  1);
        // Reads inside the batch see its writes; the disk does not, until commit.
        EXPECT_EQ(readString(ini.path(), "machine1", "servo1"), QStringLiteral("7"));
        EXPECT_EQ(ini.read(), original);
    } // dropped without commit, as when the program ends on the way
    EXPECT_EQ(ini.read(), original);
    EXPECT_EQ(readString(ini.path(), "Machine1", "Servo1"), QStringLiteral("3"));

    platform::IniWriteBatch batch(ini.path());
    WritePrivateProfileStringA(QStringLiteral("Machine1"), QStringLiteral("Servo1"), QStringLiteral("7"), ini.path());
    WritePrivateProfileStringA(QStringLiteral("Machine2"), QStringLiteral("Servo1"), QStringLiteral("9"), ini.path());
    EXPECT_EQ(batch.commit(), 1);
    EXPECT_EQ(ini.read(), QByteArray("; keep\r\n[Machine1]\r\nServo1=7\r\n[Machine2]\r\nServo1=9\r\n"));
    // After commit the store works on the disk again.
    WritePrivateProfileStringA(QStringLiteral("Machine1"), QStringLiteral("Servo1"), QStringLiteral("1"), ini.path());
    EXPECT_EQ(readString(ini.path(), "Machine1", "Servo1"), QStringLiteral("1"));
}

TEST(IniStore, BatchOnAPathThatIsNoFileFailsAndChangesNothing)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/Program.ini");
    ASSERT_TRUE(QDir().mkpath(folder));
    platform::IniWriteBatch batch(folder);
    EXPECT_EQ(WritePrivateProfileStringA(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), folder), 0);
    EXPECT_EQ(batch.commit(), 0);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}
