#include "support/installation.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace support {

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

void Installation::write(const QString& relative, const QByteArray& bytes) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + full.toStdString());
    file.write(bytes);
}

void Installation::writeIni(const QString& relative, const QString& text) const
{
    write(relative, platform::toCp1252(QString(text).replace(QLatin1String("\n"), QLatin1String("\r\n"))));
}

QByteArray Installation::read(const QString& relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Installation::installProgram() const
{
    const QString target = exePath();
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(KALVIA_PROGRAM), target))
        throw std::runtime_error("cannot copy the program to " + target.toStdString());
}

} // namespace support
