#include "support/fakes.h"

#include "environment/errors.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

namespace support {

void withFileSizeLimit(long bytes, const std::function<void()>& f)
{
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(bytes);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    f();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
}

int endCode(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ProgramEnded& ended) {
        return ended.code;
    }
    return -1;
}

platform::Answer ScriptedMessages::show(const platform::MessageBox& box)
{
    boxes.push_back(box);
    if (onShow)
        onShow(box);
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
