#pragma once

#include "support/LargeBlocks.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvel {

// A node with its descendants copied as they stand, for encoding on another thread: the
// texts are shared, not copied, and the nodes and their values are held in two arrays rather
// than an allocation a node, so taking one of 100,000 rows holds the tree's thread briefly.
// Value names keep the tree's numbering (names() is its whole table), so the snapshot encodes
// to the very bytes the node would.
class TreeSnapshot
{
public:
    TreeSnapshot() = default;
    TreeSnapshot(const TreeList &tree, NodeHandle node);

    [[nodiscard]] size_t size() const { return m_nodes.size(); }
    [[nodiscard]] const std::vector<QString> &names() const { return m_names; }
    void visit(const std::function<void(const BranchNodeView &)> &visitor) const;

private:
    struct Node
    {
        int level = 0;
        QString caption;
        int picture = 0;
        quint32 colour = 0;
        int state = 0;
        bool expanded = false;
        int childOrder = 0;
        int childOrderName = -1;
        int layout = -1; // index into m_layouts
        size_t firstValue = 0;
        size_t valueCount = 0;
    };

    std::vector<QString> m_names;
    std::vector<Node, LargeBlockAllocator<Node>> m_nodes;
    std::vector<std::pair<int, NodeValue>, LargeBlockAllocator<std::pair<int, NodeValue>>> m_values;
    std::vector<ColumnLayout> m_layouts;
};

} // namespace corvel
