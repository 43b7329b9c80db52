#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace corvel {

class OlItem;

// A folder's items read a chunk at a time, in the folder's order: a large folder's items are
// then never all held at once, and whoever reads can stop between chunks. Destroying the
// reader ends the read at once (threads it runs are stopped and joined).
class FolderItemReader
{
public:
    using Chunk = std::vector<std::shared_ptr<OlItem>>;

    virtual ~FolderItemReader() = default;

    // Replaces chunk with the next items; false once every item was handed out.
    // Throws OutlookError when the read fails.
    virtual bool next(Chunk &chunk) = 0;
    // About how many items the folder holds, to make room for them once; 0 when unknown.
    [[nodiscard]] virtual size_t expectedCount() const = 0;
    // How much of the folder has been handed out, 0 to 100.
    [[nodiscard]] virtual int percentRead() const = 0;

    // Every item not handed out yet, in order.
    [[nodiscard]] Chunk readAll();
};

} // namespace corvel
