#pragma once

#include "session/FolderItemReader.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvel {

// Makes the chunks 0..count-1 on helper threads and on the reading thread alike, and hands
// them out in their order. No more than `ahead` chunks are made and not yet handed out, so
// memory stays bounded however far the helpers could run. Destroying it stops the helpers
// (make sees `stop` and may give up within its chunk) and joins them.
class OrderedChunks
{
public:
    using Chunk = FolderItemReader::Chunk;
    using Make = std::function<Chunk(size_t index, const std::atomic<bool> &stop)>;

    OrderedChunks(size_t count, size_t helpers, size_t ahead, Make make);
    ~OrderedChunks();
    OrderedChunks(const OrderedChunks &) = delete;
    OrderedChunks &operator=(const OrderedChunks &) = delete;

    // The next chunk in order; false once all were handed out. A failure of make, on any
    // thread, is thrown here.
    bool next(Chunk &chunk);
    // How many chunks were handed out.
    [[nodiscard]] size_t handedOut() const { return m_handedOut.load(std::memory_order_relaxed); }

private:
    void help();
    [[nodiscard]] bool mayClaim() const;
    // Makes the chunk claimed under lock with the lock released, and files it, or its
    // failure.
    void makeClaimed(std::unique_lock<std::mutex> &lock, size_t index);

    const size_t m_count;
    const size_t m_ahead;
    const Make m_make;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<Chunk>> m_ready; // by index modulo m_ahead
    size_t m_claimed = 0;                      // the next index to make
    std::atomic<size_t> m_handedOut{0};        // written under m_mutex
    std::atomic<bool> m_stop{false};
    std::exception_ptr m_failure;
    std::vector<std::thread> m_helpers;
};

} // namespace corvel
