#include "app/treelist/TreeBranch.h"

namespace corvel {

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
