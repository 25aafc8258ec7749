#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// File names are resolved as on the original platform, without regard to letter case: when the
// exact path does not exist, each component is matched case-insensitively against its folder
// (an exact match first). Components that match nothing are kept as given, so a file that is
// created keeps the name it was given.
QString resolvePath(const QString& path);

// True when an ordinary file exists under the name (resolved as above). An empty path never exists.
bool fileExists(const QString& path);

// Appends one line, ended by CR LF, in the ANSI code page. Creates the file when missing.
// Returns false when the file cannot be opened or written; nothing is thrown.
bool appendLine(const QString& path, const QString& line);

// Files of a folder whose names match a wildcard pattern ("*" and "?", letter case ignored),
// as full paths in name order.
QStringList listFiles(const QString& folder, const QString& pattern);

// Replaces (or creates) the file at `path` with `bytes` without ever leaving a half-written file:
// the bytes go to a temporary file ".<name>.XXXXXX.tmp" in the same folder, every write is
// checked, the file is synced to disk and closed, takes over the old file's permissions and is
// renamed over it. On any failure the old file is as it was, the temporary file is removed and
// false is returned with the reason, naming the file, in *error when given.
// A new file gets the permissions of `permissionsOf` when given, else rw-r--r--.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                         const QString& permissionsOf = QString());

// Replaces the file at `to` by a copy of `from`, written as above; a new file gets the permissions
// of `from`. The one copy of the program.
bool replaceFileByCopy(const QString& from, const QString& to, QString* error = nullptr);

// The whole content of a file (resolved as above); none, with the reason naming the file in
// *error when given, when it cannot be read to its end.
std::optional<QByteArray> readWholeFile(const QString& path, QString* error = nullptr);

// Syncs a file, or a folder's entries, to disk. False when it cannot be opened or synced.
bool syncToDisk(const QString& path);

// Removes the temporary files a killed run may have left beside a file: "<name>.*.converting",
// ".<name>.*.tmp" and ".<name>.machinecopy.*".
void removeLeftovers(const QString& path);

// Creation, last-access and last-write time of a file, as far as the file system keeps them.
struct FileTimes {
    bool valid = false;
    QDateTime creation;
    QDateTime lastAccess;
    QDateTime lastWrite;
    qint64 lastWriteNs = 0; // the last-write time to the nanosecond, since 1970
};
FileTimes readFileTimes(const QString& path);
// Sets the last-write time back to the saved one; the last-access time is left alone. The
// creation time cannot be set on every file system: a file changed in place keeps its own.
// Returns false when the file cannot be opened or its time cannot be set.
bool restoreFileTimes(const QString& path, const FileTimes& times);

// Joins a folder and a name with the native separator.
QString joinPath(const QString& folder, const QString& name);

// The separator the original's "\" stands for here.
inline constexpr QChar kSeparator = QLatin1Char('/');

} // namespace platform
