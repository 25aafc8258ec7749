#pragma once

namespace platform {

// Name of the VFS the program opens its databases with: the system's own, with small writes
// gathered into large ones and files read front to back read ahead. Registered on first use;
// nullptr (the system's VFS then) when it cannot be.
const char* gatheringVfsName();

} // namespace platform
