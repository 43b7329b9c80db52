#pragma once

#include "support/Result.h"
#include "tree/TreeBranch.h"

class QIODevice;

namespace corvel {
class TreeList;
class TreeSnapshot;
struct NodeHandle;
} // namespace corvel

namespace corvel {

// The binary form of a branch, as kept in the group file. Each branch is one record:
//   magic "CorvelTB", u16 format version, u16 flags (0), u32 payload length,
//   u32 CRC-32 of the payload, then the payload (little-endian throughout):
//   the value-name table, then every node in display order with its relative level,
//   caption, picture, colour, state, flags, child order, column layout and typed values.
// Several records may follow each other in one file; a reader takes exactly one.
class TreeBranchFile
{
public:
    static constexpr quint16 FormatVersion = 1;

    [[nodiscard]] static QByteArray encode(const TreeBranch &branch);
    // The node with its descendants, straight from the tree (no intermediate copy).
    [[nodiscard]] static QByteArray encode(const TreeList &tree, NodeHandle node);
    // The same bytes from a snapshot of the node, on any thread.
    [[nodiscard]] static QByteArray encode(const TreeSnapshot &snapshot);
    [[nodiscard]] static Status write(QIODevice &device, const TreeBranch &branch);

    // Reads one record. A truncated, damaged, foreign or newer record is refused with the
    // reason; nothing of it is returned.
    [[nodiscard]] static Result<TreeBranch> read(QIODevice &device);
    [[nodiscard]] static Result<TreeBranch> decode(QByteArrayView record,
                                                   qsizetype *used = nullptr);
};

} // namespace corvel
