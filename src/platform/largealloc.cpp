#include "platform/largealloc.h"

#include <cstdlib>

#include <sys/mman.h>

namespace platform {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kLarge = std::size_t(1) << 20;

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

} // namespace

void* allocateLarge(std::size_t bytes)
{
    if (bytes < kLarge) {
        if (void* block = std::malloc(bytes == 0 ? 1 : bytes))
            return block;
        throw std::bad_alloc();
    }
    const std::size_t size = roundedUp(bytes);
    void* block = std::aligned_alloc(kHugePage, size);
    if (!block)
        throw std::bad_alloc();
    // Advice only: without huge pages the block works all the same.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void freeLarge(void* block, std::size_t) noexcept
{
    std::free(block);
}

} // namespace platform
