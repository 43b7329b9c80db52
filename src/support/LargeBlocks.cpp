#include "support/LargeBlocks.h"

#include <sys/mman.h>

#include <cstdint>

namespace corvel {

namespace {

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + LargeBlocks::Threshold - 1) & ~(LargeBlocks::Threshold - 1);
}

} // namespace

void *LargeBlocks::allocate(std::size_t bytes)
{
    if (bytes < Threshold)
        return ::operator new(bytes);
    const std::size_t size = roundedUp(bytes);
    // Mapped with a block to spare, then trimmed to a 2 MB boundary: a huge page must be
    // aligned to its size.
    void *mapped = ::mmap(nullptr, size + Threshold, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    auto *start = static_cast<char *>(mapped);
    const std::size_t head =
        (Threshold - reinterpret_cast<std::uintptr_t>(start) % Threshold) % Threshold;
    if (head > 0)
        ::munmap(start, head);
    if (Threshold - head > 0)
        ::munmap(start + head + size, Threshold - head);
    // Only advice: where huge pages are off, the block works as ordinary memory.
    (void)::madvise(start + head, size, MADV_HUGEPAGE);
    return start + head;
}

void LargeBlocks::release(void *block, std::size_t bytes) noexcept
{
    if (bytes < Threshold)
        ::operator delete(block);
    else
        ::munmap(block, roundedUp(bytes));
}

} // namespace corvel
