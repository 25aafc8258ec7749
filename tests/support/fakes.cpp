#include "support/fakes.h"

#include "environment/errors.h"

#include <gtest/gtest.h>

namespace support {

platform::Answer ScriptedMessages::show(const platform::MessageBox& box)
{
    boxes.push_back(box);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << box.title.toStdString() << "\": " << box.text.toStdString();
        return box.buttons == platform::Buttons::YesNo ? platform::Answer::Yes : platform::Answer::Ok;
    }
    const Scripted next = m_answers.front();
    m_answers.pop_front();
    if (next.fail)
        throw environment::RunTimeError(environment::ErrFileNotFound, QStringLiteral("File not found"));
    return next.answer;
}

} // namespace support
