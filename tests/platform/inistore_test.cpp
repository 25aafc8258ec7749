#include "platform/inistore.h"
#include "support/installation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

using Bytes = std::optional<QByteArray>; // nothing: no file

// test.ini in a temporary folder, with the given bytes or missing.
struct IniFile {
    explicit IniFile(const Bytes& bytes = std::nullopt)
    {
        if (bytes)
            support::writeFile(path, *bytes);
    }
    QByteArray read() const { return support::readFile(path); }
    QStringList folder() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
    QString path = dir.filePath("test.ini");
};

QString readString(const QString& file, const char* section, const char* key)
{
    QString buffer;
    const int n = platform::GetPrivateProfileStringA(section, key, " ab c   ", buffer, 255, file);
    EXPECT_EQ(n, buffer.size());
    return buffer;
}

int write(const QString& file, const char* section, const char* key, const char* value)
{
    return platform::WritePrivateProfileStringA(section, key, value, file);
}

// A text as a file saved in Unicode by Windows: UTF-16LE after its byte-order mark.
QByteArray utf16(const QString& text)
{
    return "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(IniStore, ReadsTheFormattingVariants)
{
    // " ab c": the default without its trailing blanks.
    const struct { const char* tag; Bytes file; const char *section, *key, *expected; } cases[] = {
        {"blanks-and-tabs-around-name-and-value", "[S]\r\n \tkey\t =\t value \t\r\n", "S", "key", "value"},
        {"names-in-other-letter-case", "[project]\r\nSERVOWITHFAULT=1\r\n", "PROJECT", "ServoWithFault", "1"},
        {"double-quotes", "[S]\r\nkey=\"  a b  \"\r\n", "S", "key", "  a b  "},
        {"empty-value-is-present", "[S]\r\nkey=\r\n", "S", "key", ""},
        {"semicolon-inside-value", "[S]\r\nkey=1 ;note\r\n", "S", "key", "1 ;note"},
        {"duplicate-key-first-wins", "[S]\r\nkey=1\r\nkey=2\r\n", "S", "key", "1"},
        {"duplicate-section-first-only", "[S]\r\na=1\r\n[T]\r\n[S]\r\nkey=2\r\n", "S", "key", " ab c"},
        {"missing-file", std::nullopt, "S", "key", " ab c"},
        {"cr-file-without-final-line-end", "[S]\rx=0\rkey=cr", "S", "key", "cr"},
        {"cp1252-in-any-letter-case", "[\xD6l]\r\nW\xE4rme=\x80 5\r\n", "\xC3\xB6L", "W\xC3\x84RME", "\xE2\x82\xAC 5"},
        {"cut-to-the-buffer", "[S]\r\nkey=" + QByteArray(300, 'x') + "\r\n", "S", "key", nullptr},
        {"utf8-mark-is-unicode", "\xEF\xBB\xBF[A]\r\nx=K\xC3\xA4se\r\n", "A", "x", "K\xC3\xA4se"},
        {"utf16-mark-is-unicode", utf16(QString::fromUtf8("[A]\r\nx=K\xC3\xA4se\r\n")), "A", "x", "K\xC3\xA4se"},
    };
    for (const auto& c : cases) {
        const QString expected = c.expected ? c.expected : QString(254, u'x');
        EXPECT_EQ(readString(IniFile(c.file).path, c.section, c.key), expected) << c.tag;
    }
}

TEST(IniStore, WriteChangesOnlyTheEntrysBytes)
{
    const struct { const char* tag; Bytes before; const char *section, *key, *value; QByteArray after; } cases[] = {
        {"new-file", std::nullopt, "Project", "Resolution", "1024", "[Project]\r\nResolution=1024\r\n"},
        {"in-place-keeping-spelling-and-blanks", "; head\r\n[project]\r\n  Fault = TRUE\r\nx=1\r\n", "PROJECT", "fault",
         "false", "; head\r\n[project]\r\n  Fault = false\r\nx=1\r\n"},
        {"empty-value", "[S]\r\nk=\r\nz=1\r\n", "S", "k", "5", "[S]\r\nk=5\r\nz=1\r\n"},
        {"quoted-value-by-empty", "[S]\r\nk=\"a b\"  \r\n", "S", "k", "", "[S]\r\nk=\r\n"},
        {"first-of-duplicate-keys", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "3", "[S]\r\nk=3\r\nk=2\r\n"},
        {"last-line-without-line-end", "[S]\r\nk=1", "S", "k", "22", "[S]\r\nk=22"},
        {"new-key-after-last-entry-of-first-copy", "[A]\r\nx=1\r\n; note\r\n\r\n[B]\r\n[A]\r\nz=9\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n; note\r\n\r\n[B]\r\n[A]\r\nz=9\r\n"},
        {"new-key-in-section-without-entries", "[A]\r\n\r\n[B]\r\n", "A", "z", "3", "[A]\r\nz=3\r\n\r\n[B]\r\n"},
        {"new-key-after-missing-line-end", "[A]\r\nx=1", "A", "z", "3", "[A]\r\nx=1\r\nz=3\r\n"},
        {"new-section-at-end", "[A]\r\nx=1\r\n\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
        {"new-section-after-missing-line-end", "[A]\r\nx=1", "B", "y", "2", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"cr-file-keeps-cr", "[A]\rx=1\r", "B", "z", "3", "[A]\rx=1\r[B]\rz=3\r"},
        {"new-lines-take-the-first-line-end", "[A]\nx=1\r\n[B]\r\n", "A", "z", "3", "[A]\nx=1\r\nz=3\n[B]\r\n"},
        // A byte-order mark is no part of the first line; the file stays in its own form.
        {"utf8-mark", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "K\xC3\xA4se", "\xEF\xBB\xBF[A]\r\nx=K\xC3\xA4se\r\n"},
        {"utf16-mark", utf16("[A]\r\nx=1\r\n"), "A", "x", "\xE2\x82\xAC \xE4\xB8\xAD", utf16(QString::fromUtf8("[A]\r\nx=\xE2\x82\xAC \xE4\xB8\xAD\r\n"))},
        {"vertical-tab-is-blank", "[A]\r\n\vx\v=\v1\r\n", "A", "x", "2", "[A]\r\n\vx\v=\v2\r\n"},
        {"empty-over-empty-value-untouched", "[S]\r\nk=  \r\n", "S", "k", "", "[S]\r\nk=  \r\n"},
        {"windows-1252", "[A]\r\n", "A", "N", "K\xC3\xA4se \xE2\x82\xAC \xE4\xB8\xAD", "[A]\r\nN=K\xE4se \x80 ?\r\n"},
        {"comments-and-odd-bytes-untouched", "\x01;\xFF c\r\n[A]\r\n odd \x81\r\nx=1\r\n", "A", "x", "7",
         "\x01;\xFF c\r\n[A]\r\n odd \x81\r\nx=7\r\n"},
    };
    for (const auto& c : cases) {
        const IniFile file(c.before);
        EXPECT_NE(write(file.path, c.section, c.key, c.value), 0) << c.tag;
        EXPECT_EQ(file.read(), c.after) << c.tag;
    }
}

// A write finds the file in any letter case; the same text leaves the file alone, a new one is a
// new file renamed over the old one, with its permissions and no temporary file left.
TEST(IniStore, WritesTheFileOnDiskAtomicallyOnlyOnChange)
{
    const IniFile file(QByteArray("[S]\r\nk=1\r\n"));
    ASSERT_TRUE(QFile::setPermissions(file.path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const auto permissions = QFile::permissions(file.path);
    const ino_t before = inode(file.path);
    const QString other = file.dir.filePath("TEST.INI");
    EXPECT_EQ(readString(other, "S", "k"), "1");
    EXPECT_NE(write(other, "s", "K", "1"), 0);
    EXPECT_EQ(inode(file.path), before);
    EXPECT_NE(write(other, "S", "k", "2"), 0);
    EXPECT_NE(inode(file.path), before);
    EXPECT_EQ(QFile::permissions(file.path), permissions);
    EXPECT_EQ(file.folder(), QStringList{"test.ini"});
    EXPECT_EQ(file.read(), QByteArray("[S]\r\nk=2\r\n"));
}

TEST(IniStore, RefusedWriteChangesNothing)
{
    const IniFile file(QByteArray("; keep\r\n[S]\r\nk=1\r\n"));
    ASSERT_TRUE(QDir(file.dir.path()).mkdir("folder.ini"));
    for (const QString& path : {file.dir.filePath("none/test.ini"), file.dir.filePath("folder.ini"), QString()})
        EXPECT_EQ(write(path, "S", "k", "2"), 0) << path.toStdString();
    platform::IniWriteBatch batch(file.dir.filePath("folder.ini"));
    EXPECT_EQ(write(file.dir.filePath("folder.ini"), "S", "k", "2"), 0);
    EXPECT_EQ(batch.commit(), 0);
    EXPECT_EQ(file.folder(), (QStringList{"folder.ini", "test.ini"}));
    EXPECT_EQ(file.read(), QByteArray("; keep\r\n[S]\r\nk=1\r\n"));
}

TEST(IniStore, BatchIsAllOrNothing)
{
    const QByteArray original = "; keep\r\n[Machine1]\r\nServo1=3\r\n";
    const IniFile ini(original);
    for (const bool commit : {false, true}) {
        platform::IniWriteBatch batch(ini.path);
        EXPECT_EQ(write(ini.path, "Machine1", "Servo1", "7"), 1);
        EXPECT_EQ(write(ini.path, "Machine2", "Servo1", "9"), 1);
        EXPECT_EQ(readString(ini.path, "machine1", "servo1"), "7");
        EXPECT_EQ(ini.read(), original);
        if (commit) {
            EXPECT_EQ(batch.commit(), 1);
        }
    } // dropped without commit first, as when the program ends on the way
    EXPECT_EQ(ini.read(), QByteArray("; keep\r\n[Machine1]\r\nServo1=7\r\n[Machine2]\r\nServo1=9\r\n"));
}
