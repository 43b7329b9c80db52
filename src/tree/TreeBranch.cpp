#include "tree/TreeBranch.h"

namespace corvel {

void TreeBranch::visit(const std::function<void(const BranchNodeView &)> &visitor) const
{
    for (const Node &node : m_nodes) {
        visitor({node.level, node.caption, node.picture, node.colour, node.state, node.expanded,
                 node.childOrder, node.childOrderName, node.layout ? &*node.layout : nullptr,
                 node.values});
    }
}

NodeValue TreeBranch::value(size_t node, const QString &name) const
{
    if (node >= m_nodes.size())
        return {};
    for (const auto &[nameIndex, value] : m_nodes[node].values) {
        if (m_names.at(nameIndex).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

} // namespace corvel
