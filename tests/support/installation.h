#pragma once

#include "environment/context.h"
#include "support/fakes.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace support {

// A file's bytes, empty when it cannot be read; writing makes the folder and replaces the file.
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// A file of tests/data.
inline QByteArray dataFile(const QString& relative) { return readFile(KALVIA_SOURCE_DIR "/tests/data/" + relative); }
// The names of the files in a folder, hidden ones included, in name order.
QStringList filesIn(const QString& folder);

// A temporary installation: root with parameter/, the component folder and the program folder
// whose executable is named after the component plus a seven-character suffix.
class Installation {
public:
    explicit Installation(const QString& component = QStringLiteral("ServoView"),
                          const QString& programFolder = QStringLiteral("ServoTool"),
                          const QString& suffix = QStringLiteral("_Config"));

    QString root() const { return m_dir.path(); }
    QString programFolder() const { return path(m_programFolder); }
    QString exeName() const { return m_component + m_suffix; }
    QString exePath() const { return path(m_programFolder + QLatin1Char('/') + exeName()); }
    // Absolute path of a file given relative to the root.
    QString path(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }

    void write(const QString& relative, const QByteArray& bytes) const { writeFile(path(relative), bytes); }
    // INI text given with "\n" line ends, written with CR LF.
    void writeIni(const QString& relative, const QString& text) const;
    QByteArray read(const QString& relative) const { return readFile(path(relative)); }
    bool exists(const QString& relative) const { return QFileInfo::exists(path(relative)); }

    // Copies the built program into the program folder.
    void installProgram() const;

    // A process that looks as if it ran from this installation.
    FakeProcess process;
    ScriptedMessages messages;
    environment::Context context{process, messages};

private:
    QTemporaryDir m_dir;
    QString m_component;
    QString m_programFolder;
    QString m_suffix;
};

} // namespace support
