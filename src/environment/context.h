#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {
class Messages;
class Process;
} // namespace platform

namespace environment {

// How the program was started; decided once when the window loads.
struct StartMode {
    bool IntegratedMode = false;
    bool SilentMode = false; // a silent start is always standalone
};

// The project's machines and additional database columns.
struct ProjectSettings {
    QString ProgramIniPath;
    // Machine names at 1..n; element 0 is never used. Empty while no machine was found
    // (the original's unallocated array).
    QStringList ExistingMachines;
    // "", "part", then the names of DataBaseAdditionalFields. Empty until filled.
    QStringList AdditionalFields;
    QString AdditionalFieldsSQL;
    qint16 AdditionalFieldsCount = 0;
};

// Program-wide state of the configuration services and the services of the platform they use.
// One object lives for the program's lifetime and is handed by reference.
struct Context {
    platform::Process& process;
    platform::Messages& messages;
    StartMode mode{};
    ProjectSettings project{};
    // Failures reported so far (error questions and fault messages).
    int failuresReported = 0;
    // What an early end of the program must undo first (temporary files, open transactions);
    // set by the closing run while it runs.
    std::function<void()> cleanUp{};
};

} // namespace environment
