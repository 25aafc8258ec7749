#pragma once

#include <cstddef>
#include <new>

namespace platform {

// Memory for the large working buffers of the closing run (several megabytes at the largest
// size). Fresh memory costs one page fault per 4 KiB on first use, which on a virtual machine
// costs more than filling it; a block of at least 1 MiB is taken 2 MiB-aligned and offered to the
// kernel for huge pages, smaller ones come from the ordinary heap. Throws std::bad_alloc.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* block, std::size_t bytes) noexcept;

// An allocator for containers that may grow large: std::vector<T, LargeAllocator<T>>.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

} // namespace platform
