#include "platform/files.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

bool copyFile(const QString& from, const QString& to)
{
    const QString source = resolvePath(from);
    const QString target = resolvePath(to);
    if (!QFileInfo(source).isFile())
        return false;
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(source, target);
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return folder.endsWith(kSeparator) ? folder + name : folder + kSeparator + name;
}

} // namespace platform
