#pragma once

// The options starting with "--": what the program does instead of its window, without a display.

#include "platform/messages.h"
#include "platform/process.h"

#include <QStringList>

#include <optional>

namespace database {

// What the command line asks for.
struct CommandOptions {
    // Set when an option ran (or was refused): the program ends with this code.
    std::optional<int> exitCode;
    // The program a dry run starts on its copy: it presses OK at once and answers every question
    // Yes, as a user going on would.
    bool dryRunChild = false;
};

// The flag a dry run starts its program with, and the file in the copy's root without which the
// flag is refused.
inline const QString kDryRunChildOption = QStringLiteral("--dry-run-child");
inline const QString kDryRunMarker = QStringLiteral(".kalvia-dry-run");

// Runs the "--" option among the arguments (those after the program's name), if any. An unknown
// option, a second option, an argument no option takes and a --restore argument that is no
// backup's stamp are each refused with one line on standard error and exit code 2.
CommandOptions runOptions(platform::Process& process, const QStringList& arguments);

// Messages of the options and of a dry run: each box's text goes to standard error; a question
// gets the given answer.
class PrintedMessages final : public platform::Messages {
public:
    PrintedMessages(const platform::Process& process, platform::Answer question)
        : m_process(process), m_question(question)
    {
    }
    platform::Answer show(const platform::MessageBox& box) override;

private:
    const platform::Process& m_process;
    platform::Answer m_question;
};

} // namespace database
