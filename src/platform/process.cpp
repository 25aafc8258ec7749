#include "platform/process.h"

#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace platform {

Version programVersion()
{
    return {KALVIA_VERSION_MAJOR, KALVIA_VERSION_MINOR, KALVIA_VERSION_PATCH};
}

SystemProcess::SystemProcess(int argc, char** argv)
{
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    QString path = exe.canonicalFilePath();
    if (path.isEmpty() && argc > 0)
        path = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    const QFileInfo info(path);
    m_folder = info.absolutePath();
    m_name = info.fileName();
    m_file = info.absoluteFilePath();
    if (m_name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        m_name.chop(4);

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    m_commandLine = args.join(QLatin1Char(' '));
}

QString SystemProcess::firstEnvironmentEntry() const
{
    return (environ && environ[0]) ? QString::fromLocal8Bit(environ[0]) : QString();
}

void Process::printError(const QString& line) const
{
    QString text = line;
    text.replace(QLatin1String("\n\r"), QLatin1String(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s: %s\n", qPrintable(exeName()), qPrintable(text));
    std::fflush(stderr);
}

void SystemProcess::endProgram(int code)
{
    // Every file the program writes is closed after each write and every database write runs in
    // a transaction, so nothing needs to be flushed beyond the standard streams.
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace platform
