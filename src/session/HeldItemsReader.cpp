#include "session/HeldItemsReader.h"

#include "session/OutlookSession.h"

#include <algorithm>
#include <iterator>

namespace corvel {

FolderItemReader::Chunk FolderItemReader::readAll()
{
    Chunk all;
    all.reserve(expectedCount());
    Chunk chunk;
    while (next(chunk))
        std::move(chunk.begin(), chunk.end(), std::back_inserter(all));
    return all;
}

std::unique_ptr<FolderItemReader> OlFolder::itemReader(const std::function<void()> &checkpoint)
{
    (void)checkpoint; // Items() cannot be stopped
    // Held already; chunks still let a listing show progress and stop part way.
    constexpr size_t ItemsPerChunk = 128;
    return std::make_unique<HeldItemsReader>(Items(), ItemsPerChunk);
}

HeldItemsReader::HeldItemsReader(Chunk items, size_t perChunk)
    : m_items(std::move(items))
    , m_perChunk(perChunk > 0 ? perChunk : m_items.size())
{
}

bool HeldItemsReader::next(Chunk &chunk)
{
    chunk.clear();
    if (m_handedOut == m_items.size())
        return false;
    const size_t end = std::min(m_items.size(), m_handedOut + m_perChunk);
    const auto first = m_items.begin() + std::ptrdiff_t(m_handedOut);
    std::move(first, m_items.begin() + std::ptrdiff_t(end), std::back_inserter(chunk));
    m_handedOut = end;
    return true;
}

int HeldItemsReader::percentRead() const
{
    return m_items.empty() ? 100 : int(m_handedOut * 100 / m_items.size());
}

} // namespace corvel
