#pragma once

#include "session/FolderItemReader.h"

namespace corvel {

// Items already read, handed out perChunk at a time (all at once with 0).
class HeldItemsReader : public FolderItemReader
{
public:
    explicit HeldItemsReader(Chunk items, size_t perChunk = 0);

    bool next(Chunk &chunk) override;
    [[nodiscard]] size_t expectedCount() const override { return m_items.size(); }
    [[nodiscard]] int percentRead() const override;

private:
    Chunk m_items;
    size_t m_perChunk;
    size_t m_handedOut = 0;
};

} // namespace corvel
