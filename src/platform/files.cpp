#include "platform/files.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString resolvePath(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    const bool absolute = path.startsWith(kSeparator);
    const QStringList parts = path.split(kSeparator, Qt::SkipEmptyParts);
    QString current = absolute ? QString(kSeparator) : QString();
    int i = 0;
    for (; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const QString exact = current.isEmpty() ? part
                              : current.endsWith(kSeparator) ? current + part
                                                            : current + kSeparator + part;
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QDir dir(current.isEmpty() ? QStringLiteral(".") : current);
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QString match;
        for (const QString& entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                match = entry;
                break;
            }
        }
        if (match.isEmpty())
            break;
        current = current.isEmpty() ? match
                  : current.endsWith(kSeparator) ? current + match
                                                : current + kSeparator + match;
    }
    for (; i < parts.size(); ++i)
        current = current.isEmpty() || current.endsWith(kSeparator) ? current + parts[i]
                                                                    : current + kSeparator + parts[i];
    if (path.endsWith(kSeparator) && !current.endsWith(kSeparator))
        current += kSeparator;
    return current;
}

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(resolvePath(path));
    return info.exists() && info.isFile();
}

bool appendLine(const QString& path, const QString& line)
{
    if (path.isEmpty())
        return false;
    QFile file(resolvePath(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = toCp1252(line) + "\r\n";
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

QStringList listFiles(const QString& folder, const QString& pattern)
{
    const QString resolved = resolvePath(folder);
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                QRegularExpression::CaseInsensitiveOption);
    QDir dir(resolved);
    QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    QStringList result;
    for (const QString& name : names) {
        if (re.match(name).hasMatch())
            result << joinPath(resolved, name);
    }
    return result;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, const QString& permissionsOf)
{
    const QString target = resolvePath(path);
    const QFileInfo info(target);
    QByteArray temp = QFile::encodeName(
        joinPath(info.absolutePath(), QStringLiteral(".") + info.fileName() + QStringLiteral(".XXXXXX.tmp")));
    const auto fail = [&](const QString& what, int fd) {
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        if (error)
            *error = QStringLiteral("%1 \"%2\" (%3)").arg(what, path, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    };
    const int fd = ::mkstemps(temp.data(), 4);
    if (fd < 0) {
        const int e = errno;
        if (error)
            *error = QStringLiteral("Cannot write a new file beside \"%1\" (%2)")
                         .arg(path, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("Cannot write"), fd);
        done += n;
    }
    struct stat old {};
    const bool modeGiven = ::stat(QFile::encodeName(target).constData(), &old) == 0 ||
                           (!permissionsOf.isEmpty() &&
                            ::stat(QFile::encodeName(resolvePath(permissionsOf)).constData(), &old) == 0);
    if (::fchmod(fd, modeGiven ? (old.st_mode & 07777) : 0644) != 0)
        return fail(QStringLiteral("Cannot write"), fd);
    if (::fsync(fd) != 0)
        return fail(QStringLiteral("Cannot save"), fd);
    if (::close(fd) != 0)
        return fail(QStringLiteral("Cannot save"), -1);
    if (::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("Cannot replace"), -1);
    // The rename itself reaches the disk with the folder's entry.
    syncToDisk(info.absolutePath());
    return true;
}

std::optional<QByteArray> readWholeFile(const QString& path, QString* error)
{
    QFile in(resolvePath(path));
    QByteArray bytes;
    if (in.open(QIODevice::ReadOnly))
        bytes = in.readAll();
    if (!in.isOpen() || in.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\" (%2)").arg(path, in.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool replaceFileByCopy(const QString& from, const QString& to, QString* error)
{
    // A new copy has the permissions of its original (a program stays executable).
    const std::optional<QByteArray> bytes = readWholeFile(from, error);
    return bytes && writeFileAtomically(to, *bytes, error, from);
}

bool syncToDisk(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void removeLeftovers(const QString& path)
{
    const QFileInfo info(resolvePath(path));
    const QString name = info.fileName();
    const QDir dir(info.absolutePath());
    const QStringList patterns{name + QStringLiteral(".*.converting"), QStringLiteral(".") + name + QStringLiteral(".*.tmp"),
                               QStringLiteral(".") + name + QStringLiteral(".machinecopy.*")};
    for (const QString& file : dir.entryList(patterns, QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(file));
}

FileTimes readFileTimes(const QString& path)
{
    FileTimes times;
    const QFileInfo info(resolvePath(path));
    if (!info.isFile())
        return times;
    times.valid = true;
    times.creation = info.birthTime();
    times.lastAccess = info.lastRead();
    times.lastWrite = info.lastModified();
    struct stat st {};
    if (::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0)
        times.lastWriteNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    else
        times.lastWriteNs = times.lastWrite.toMSecsSinceEpoch() * 1000000;
    return times;
}

bool restoreFileTimes(const QString& path, const FileTimes& times)
{
    if (!times.valid)
        return false;
    const QString resolved = resolvePath(path);
    if (!QFileInfo(resolved).isFile())
        return false;
    struct timespec set[2] {};
    set[0].tv_nsec = UTIME_OMIT;
    set[1].tv_sec = time_t(times.lastWriteNs / 1000000000);
    set[1].tv_nsec = long(times.lastWriteNs % 1000000000);
    return ::utimensat(AT_FDCWD, QFile::encodeName(resolved).constData(), set, 0) == 0;
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return folder.endsWith(kSeparator) ? folder + name : folder + kSeparator + name;
}

} // namespace platform
