#pragma once

#include <QString>

namespace platform {

// How the program ends: after a closing run that completed with nothing reported, after a
// confirmed cancel, early (nothing written), or after a completed closing run that reported failures.
enum ExitCode : int { ExitClosingRunDone = 0, ExitCancelled = 1, ExitOther = 2, ExitDoneWithFailures = 3 };

struct Version {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The program's own version, from the build's project version.
Version programVersion();

// What the process knows about itself. Tests substitute their own.
class Process {
public:
    virtual ~Process() = default;
    // Folder of the executable, without trailing separator.
    virtual QString exeFolder() const = 0;
    // File name of the executable without extension.
    virtual QString exeName() const = 0;
    // The executable's path as it lies on disk.
    virtual QString exeFile() const { return exeFolder() + QLatin1Char('/') + exeName(); }
    // The arguments after the program name, joined by single blanks.
    virtual QString commandLine() const = 0;
    // The first entry of the process environment ("name=value"), empty when there is none.
    virtual QString firstEnvironmentEntry() const = 0;
    virtual Version version() const { return programVersion(); }
    // Writes a failure to standard error as one line, "<exe name>: <line>": the one place the
    // program's failures reach standard error.
    virtual void printError(const QString& line) const;
    // Ends the program at once; never returns.
    [[noreturn]] virtual void endProgram(int code) = 0;
};

class SystemProcess final : public Process {
public:
    SystemProcess(int argc, char** argv);
    QString exeFolder() const override { return m_folder; }
    QString exeName() const override { return m_name; }
    QString exeFile() const override { return m_file; }
    QString commandLine() const override { return m_commandLine; }
    QString firstEnvironmentEntry() const override;
    [[noreturn]] void endProgram(int code) override;

private:
    QString m_folder;
    QString m_name;
    QString m_file;
    QString m_commandLine;
};

} // namespace platform
