#pragma once

#include <cstddef>
#include <new>

namespace corvel {

// Memory for arrays of many megabytes, taken straight from the system in 2 MB-aligned blocks
// the kernel is asked to back with huge pages. First touching fresh memory costs a page fault
// per 4 KB otherwise: on a virtual machine about 15 µs each, 50 ms for the storage of 100,000
// tree nodes, paid on the event loop. Smaller requests go to the ordinary heap.
class LargeBlocks
{
public:
    static constexpr std::size_t Threshold = std::size_t(2) << 20;

    [[nodiscard]] static void *allocate(std::size_t bytes);
    static void release(void *block, std::size_t bytes) noexcept;
};

// A standard allocator over LargeBlocks, for the few arrays that grow that large.
template<typename T>
class LargeBlockAllocator
{
public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template<typename U>
    explicit LargeBlockAllocator(const LargeBlockAllocator<U> &)
    {
    }

    [[nodiscard]] T *allocate(std::size_t n)
    {
        return static_cast<T *>(LargeBlocks::allocate(n * sizeof(T)));
    }
    void deallocate(T *block, std::size_t n) noexcept
    {
        LargeBlocks::release(block, n * sizeof(T));
    }

    friend bool operator==(const LargeBlockAllocator &, const LargeBlockAllocator &)
    {
        return true;
    }
};

} // namespace corvel
