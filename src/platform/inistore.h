#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// The private-profile INI store: the three operations the original program took from its operating
// system, with the same observable behaviour. Files are Windows-1252 text. Section and key names
// match without regard to letter case and blanks (spaces, tabs) around names and values do not
// count; a value in one matching pair of double or single quotes reads without them. A line whose
// first non-blank character is ";" is a comment, a line without "=" is no entry, entries before
// the first section header belong to no section, and of a repeated key or section only the first
// one counts. Nothing is cached: every call reads the file as it is on disk.

// Copies the value of Key in Section of File into Buffer, cut to Size - 1 characters, and returns
// the number of characters copied. A missing file, section or key gives Default with its trailing
// blanks removed; a key with an empty value gives the empty text.
int GetPrivateProfileStringA(const QString& section, const QString& key, const QString& defaultValue,
                             QString& buffer, int size, const QString& file);

// The value of Key read as an integer: an optional sign and the leading decimal digits ("42abc"
// gives 42, "abc" gives 0), wrapping around at 32 bits. Default when the key is missing or empty.
int GetPrivateProfileIntA(const QString& section, const QString& key, int defaultValue, const QString& file);

// Sets Key in Section of File to Value, written exactly as given. An existing key keeps its line and
// spelling and gets the new value in place; a missing key goes after the last entry of its section,
// a missing section to the end of the file, a missing file is created (CR LF line ends). Every other
// byte of the file stays as it was. The file is replaced atomically (temporary file in the same
// folder, renamed over it); a value equal to the stored text leaves the file untouched. Returns
// non-zero on success and 0 when the file cannot be read or written, leaving it as it was.
int WritePrivateProfileStringA(const QString& section, const QString& key, const QString& value,
                               const QString& file);

// Gathers the writes to one file and replaces the file once, at commit(). While a batch is open,
// the store's reads and writes of that file see the gathered text instead of the disk, so the
// file on disk holds either all of the batch's writes or none of them. A batch that is destroyed
// without commit() leaves the file as it was. Batches are for one thread and do not nest.
class IniWriteBatch {
public:
    explicit IniWriteBatch(const QString& file);
    ~IniWriteBatch();
    IniWriteBatch(const IniWriteBatch&) = delete;
    IniWriteBatch& operator=(const IniWriteBatch&) = delete;

    // Replaces the file when anything changed. Non-zero on success (and when nothing changed).
    int commit();

    // For the store: the batch holding the file, or nullptr.
    static IniWriteBatch* find(const QString& resolvedPath);
    QByteArray text;
    bool writable = true;
    bool refused = false; // a write was refused because the file cannot be written

private:
    QString m_path;
    QByteArray m_original;
    bool m_exists = false;
    bool m_done = false;
};

// The file-format half of the store, on the bytes of a whole file. For the store and its tests.
namespace initext {

// The raw bytes of Key's value (trimmed, quotes removed), or nothing when section or key is missing.
std::optional<QByteArray> lookup(const QByteArray& text, const QString& section, const QString& key);

// Text with Key set to Value (bytes as they are to be stored), by the rules of the writer above.
QByteArray assign(const QByteArray& text, const QString& section, const QString& key, const QByteArray& value);

} // namespace initext

} // namespace platform
