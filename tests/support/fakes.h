#pragma once

#include "platform/messages.h"
#include "platform/process.h"
#include "support/printing.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace support {

// Thrown by FakeProcess::endProgram, so a test can see that and how the program ended.
struct ProgramEnded { int code; };

class FakeProcess final : public platform::Process {
public:
    QString folder = QStringLiteral("/opt/suite/ServoTool");
    QString name = QStringLiteral("ServoView_Config");
    QString arguments;
    QString environmentEntry = QStringLiteral("USERNAME=abc");
    platform::Version ver{1, 0, 0};
    mutable QStringList printed; // the lines the program wrote to standard error

    QString exeFolder() const override { return folder; }
    QString exeName() const override { return name; }
    QString commandLine() const override { return arguments; }
    QString firstEnvironmentEntry() const override { return environmentEntry; }
    platform::Version version() const override { return ver; }
    void printError(const QString& line) const override { printed << line; }
    [[noreturn]] void endProgram(int code) override { throw ProgramEnded{code}; }
};

// The exit code a call ends the program with, or -1 when the program runs on.
int endCode(const std::function<void()>& f);

// Runs f while no file of this process may grow beyond the given size, as on a full disk: a write
// beyond it fails instead of raising a signal.
void withFileSizeLimit(long bytes, const std::function<void()>& f);

// Records every message box and answers from a queue. A box nobody expected fails the test.
class ScriptedMessages final : public platform::Messages {
public:
    void expect(platform::Answer answer = platform::Answer::Ok) { m_answers.push_back(Scripted{answer, false}); }
    // The next box fails with a run-time error instead of answering.
    void expectFailure() { m_answers.push_back(Scripted{platform::Answer::Ok, true}); }
    platform::Answer show(const platform::MessageBox& box) override;

    std::vector<platform::MessageBox> boxes;
    bool allAnswered() const { return m_answers.empty(); }
    // Called with each box before it is answered, to look at the program while it shows.
    std::function<void(const platform::MessageBox&)> onShow;

private:
    struct Scripted { platform::Answer answer; bool fail; };
    std::deque<Scripted> m_answers;
};

} // namespace support
