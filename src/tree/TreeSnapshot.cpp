#include "tree/TreeSnapshot.h"

namespace corvel {

TreeSnapshot::TreeSnapshot(const TreeList &tree, NodeHandle node)
    : m_names(tree.valueNames())
{
    if (!tree.isValid(node))
        return;
    const size_t count = static_cast<size_t>(tree.descendantCount(node)) + 1;
    m_nodes.reserve(count);
    // Rows carry a handful of values; room left unused is never touched, so costs nothing.
    m_values.reserve(count * 6);
    tree.visitBranch(node, false, [this](const BranchNodeView &view) {
        int layout = -1;
        if (view.layout) {
            layout = static_cast<int>(m_layouts.size());
            m_layouts.push_back(*view.layout);
        }
        m_nodes.push_back({view.level, view.caption, view.picture, view.colour, view.state,
                           view.expanded, view.childOrder, view.childOrderName, layout,
                           m_values.size(), view.values.size()});
        m_values.insert(m_values.end(), view.values.begin(), view.values.end());
    });
}

void TreeSnapshot::visit(const std::function<void(const BranchNodeView &)> &visitor) const
{
    for (const Node &node : m_nodes) {
        visitor({node.level, node.caption, node.picture, node.colour, node.state, node.expanded,
                 node.childOrder, node.childOrderName,
                 node.layout >= 0 ? &m_layouts[static_cast<size_t>(node.layout)] : nullptr,
                 std::span(m_values).subspan(node.firstValue, node.valueCount)});
    }
}

} // namespace corvel
