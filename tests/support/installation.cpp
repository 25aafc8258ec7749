#include "support/installation.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace support {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

Installation::Installation(const QString& component, const QString& programFolder, const QString& suffix)
    : m_component(component), m_programFolder(programFolder), m_suffix(suffix)
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("parameter"));
    root.mkpath(m_component);
    root.mkpath(m_programFolder);
    process.folder = programFolder.isEmpty() ? root.path() : path(m_programFolder);
    process.name = exeName();
}


void Installation::writeIni(const QString& relative, const QString& text) const
{
    write(relative, platform::toCp1252(QString(text).replace(QLatin1String("\n"), QLatin1String("\r\n"))));
}

void Installation::installProgram() const
{
    const QString target = exePath();
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(KALVIA_PROGRAM), target))
        throw std::runtime_error("cannot copy the program to " + target.toStdString());
}

} // namespace support
