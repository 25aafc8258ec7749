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

QString Installation::path(const QString& relative) const
{
    return m_dir.path() + QLatin1Char('/') + relative;
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
    QString crlf = text;
    crlf.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    write(relative, platform::toCp1252(crlf));
}

QByteArray Installation::read(const QString& relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool Installation::exists(const QString& relative) const
{
    return QFileInfo::exists(path(relative));
}

void Installation::installProgram() const
{
    const QString target = exePath();
    QFile::remove(target);
    if (!QFile::copy(builtProgram(), target))
        throw std::runtime_error("cannot copy the program to " + target.toStdString());
}

QString builtProgram()
{
    return QStringLiteral(KALVIA_PROGRAM);
}

} // namespace support
