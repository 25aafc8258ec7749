#include "platform/files.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>

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

bool replaceFileByCopy(const QString& from, const QString& to, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QString source = resolvePath(from);
    const QString target = resolvePath(to);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read '%1'.").arg(from));
    const QFileInfo targetInfo(target);
    QTemporaryFile temp(joinPath(targetInfo.absolutePath(), QStringLiteral(".") + targetInfo.fileName() +
                                                                QStringLiteral(".XXXXXX.tmp")));
    if (!temp.open())
        return fail(QStringLiteral("Cannot write a temporary file beside '%1'.").arg(to));
    char buffer[1 << 16];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0)
            return fail(QStringLiteral("Cannot read '%1'.").arg(from));
        if (got == 0)
            break;
        if (temp.write(buffer, got) != got)
            return fail(QStringLiteral("Cannot write a copy of '%1' beside '%2'.").arg(from, to));
    }
    if (!temp.flush() || ::fsync(temp.handle()) != 0)
        return fail(QStringLiteral("Cannot write a copy of '%1' beside '%2'.").arg(from, to));
    temp.setPermissions(targetInfo.exists() ? targetInfo.permissions()
                                            : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(QStringLiteral("Cannot replace '%1'.").arg(to));
    temp.setAutoRemove(false);
    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(QFile::encodeName(targetInfo.absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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
