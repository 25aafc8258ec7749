#pragma once

// Private to the platform layer.

#include <chrono>
#include <functional>
#include <string>

namespace platform {

// Runs work in a child process and waits for it. Returns an empty string when work returned an
// empty string and the child wrote nothing to its standard output or error; otherwise the reason:
// work's own result, the first line the child wrote, the signal that ended it, or the time limit
// it exceeded (the child is then killed). A child that writes without end is killed as well.
// Libraries that report damage only on standard error and may loop on bad input run here.
std::string runIsolated(const std::function<std::string()>& work, std::chrono::milliseconds limit);

} // namespace platform
