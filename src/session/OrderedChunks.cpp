#include "session/OrderedChunks.h"

#include <algorithm>

namespace corvel {

OrderedChunks::OrderedChunks(size_t count, size_t helpers, size_t ahead, Make make)
    : m_count(count)
    , m_ahead(std::max<size_t>(ahead, 1))
    , m_make(std::move(make))
    , m_ready(m_ahead)
{
    helpers = std::min(helpers, count > 0 ? count - 1 : 0);
    m_helpers.reserve(helpers);
    for (size_t h = 0; h < helpers; ++h)
        m_helpers.emplace_back([this] { help(); });
}

OrderedChunks::~OrderedChunks()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread &helper : m_helpers)
        helper.join();
}

bool OrderedChunks::mayClaim() const
{
    return m_claimed < m_count && m_claimed < m_handedOut + m_ahead;
}

void OrderedChunks::makeClaimed(std::unique_lock<std::mutex> &lock, size_t index)
{
    lock.unlock();
    std::optional<Chunk> chunk;
    std::exception_ptr failure;
    try {
        chunk = m_make(index, m_stop);
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    if (chunk) {
        m_ready[index % m_ahead] = std::move(chunk);
    } else {
        // Every later call of next() throws it too, rather than wait for the lost chunk.
        if (!m_failure)
            m_failure = failure;
        m_stop = true;
    }
    m_changed.notify_all();
}

bool OrderedChunks::next(Chunk &chunk)
{
    chunk.clear();
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_failure)
            std::rethrow_exception(m_failure);
        const size_t handed = m_handedOut;
        if (handed == m_count)
            return false;
        std::optional<Chunk> &slot = m_ready[handed % m_ahead];
        if (slot) {
            chunk = std::move(*slot);
            slot.reset();
            m_handedOut = handed + 1;
            m_changed.notify_all(); // room for one more ahead
            return true;
        }
        // Rather than wait, the reading thread makes the next chunk itself.
        if (mayClaim())
            makeClaimed(lock, m_claimed++);
        else
            m_changed.wait(lock);
    }
}

void OrderedChunks::help()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop && m_claimed < m_count) {
        if (!mayClaim()) {
            m_changed.wait(lock);
            continue;
        }
        makeClaimed(lock, m_claimed++);
    }
}

} // namespace corvel
