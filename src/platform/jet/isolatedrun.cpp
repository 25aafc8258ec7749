#include "platform/jet/isolatedrun_p.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// Output beyond this is not kept; a child that writes more than kOutputLimit is killed.
constexpr size_t kKeptOutput = 4096;
constexpr size_t kOutputLimit = 64 * 1024;

void writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

[[noreturn]] void runChild(const std::function<std::string()>& work, int outFd, int resultFd)
{
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(outFd, STDERR_FILENO);
    // Library text that depends on the locale (decimal commas) comes out the same everywhere.
    std::setlocale(LC_ALL, "C");
    std::string reason;
    try {
        reason = work();
    } catch (...) {
        reason = "unexpected failure";
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // The leading mark shows that the child got this far, whatever became of its exit status.
    writeAll(resultFd, (reason.empty() ? "+" : "-") + reason);
    // _exit: the parent's atexit handlers and static objects belong to the parent.
    ::_exit(reason.empty() ? 0 : 1);
}

std::string firstLine(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return "(blank output)";
    size_t end = text.find_first_of("\r\n", begin);
    std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (line.size() > 200)
        line = line.substr(0, 200) + "...";
    return line;
}

} // namespace

std::string runIsolated(const std::function<std::string()>& work, std::chrono::milliseconds limit)
{
    int out[2];
    int result[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::string("a reader process cannot be started: ") + std::strerror(errno);
    if (::pipe2(result, O_CLOEXEC) != 0) {
        const int e = errno;
        ::close(out[0]);
        ::close(out[1]);
        return std::string("a reader process cannot be started: ") + std::strerror(e);
    }
    // Buffered output of this process must not reach the child's pipe.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        ::close(result[0]);
        runChild(work, out[1], result[1]);
    }
    const int forkErrno = errno;
    ::close(out[1]);
    ::close(result[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(result[0]);
        return std::string("a reader process cannot be started: ") + std::strerror(forkErrno);
    }

    std::string output;
    size_t outputSize = 0;
    std::string reason;
    std::string killedFor;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {result[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            killedFor = "the reader did not finish within "
                        + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count())
                        + " seconds";
            break;
        }
        const int n = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (n < 0 && errno != EINTR) {
            killedFor = std::string("waiting for the reader failed: ") + std::strerror(errno);
            break;
        }
        for (pollfd& p : fds) {
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t got = ::read(p.fd, buf, sizeof buf);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ::close(p.fd);
                p.fd = -1;
                --open;
                continue;
            }
            std::string& into = p.fd == out[0] ? output : reason;
            if (p.fd == out[0])
                outputSize += static_cast<size_t>(got);
            if (into.size() < kKeptOutput)
                into.append(buf, std::min(static_cast<size_t>(got), kKeptOutput - into.size()));
        }
        if (outputSize > kOutputLimit) {
            killedFor = "the reader reported: " + firstLine(output);
            break;
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0)
            ::close(p.fd);
    }
    if (!killedFor.empty())
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!killedFor.empty())
        return killedFor;
    if (WIFSIGNALED(status))
        return "the reader stopped abnormally (signal " + std::to_string(WTERMSIG(status)) + ")";
    if (reason.empty())
        return "the reader stopped abnormally";
    if (reason[0] != '+')
        return reason.substr(1);
    if (outputSize > 0)
        return "the reader reported: " + firstLine(output);
    return {};
}

} // namespace platform
