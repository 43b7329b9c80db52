#pragma once

#include "tree/ColumnLayout.h"
#include "tree/NodeValue.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace corvel {

// One node of a branch as seen by a visitor, without copying it. Name numbers index the
// name table of whoever hands out the view.
struct BranchNodeView
{
    int level;
    const QString &caption;
    int picture;
    quint32 colour;
    int state;
    bool expanded;
    int childOrder;
    int childOrderName; // -1: by caption
    const ColumnLayout *layout;
    std::span<const std::pair<int, NodeValue>> values;
};

// A detached copy of one or more sub-trees, in display order, with levels relative to
// the branch's top nodes (level 0). Value names are held once in a table.
class TreeBranch
{
public:
    struct Node
    {
        int level = 0;
        QString caption;
        int picture = 0;
        quint32 colour = 0;
        int state = 0;
        bool expanded = false;
        int childOrder = 0;
        int childOrderName = -1; // index into names(), -1: by caption
        std::optional<ColumnLayout> layout;
        std::vector<std::pair<int, NodeValue>> values; // name index, value
    };

    [[nodiscard]] bool isEmpty() const { return m_nodes.empty(); }
    [[nodiscard]] size_t size() const { return m_nodes.size(); }
    [[nodiscard]] const std::vector<Node> &nodes() const { return m_nodes; }
    [[nodiscard]] std::vector<Node> &nodes() { return m_nodes; }
    [[nodiscard]] const QStringList &names() const { return m_names; }
    [[nodiscard]] QStringList &names() { return m_names; }

    void visit(const std::function<void(const BranchNodeView &)> &visitor) const;

    // The value of a node by name, without regard to letter case; empty when not set.
    [[nodiscard]] NodeValue value(size_t node, const QString &name) const;

private:
    std::vector<Node> m_nodes;
    QStringList m_names;
};

} // namespace corvel
