#pragma once

#include "support/LargeBlocks.h"
#include "tree/ColumnLayout.h"
#include "tree/NodeValue.h"
#include "tree/TreeBranch.h"

#include <QHash>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace corvel {

// A node of a TreeList. Stays valid while its node exists; a handle of a removed node
// is recognised as stale (its slot may be reused, its generation is not).
struct NodeHandle
{
    quint32 slot = 0;
    quint32 generation = 0;

    [[nodiscard]] bool isNull() const { return slot == 0; }
    explicit operator bool() const { return slot != 0; }
    bool operator==(const NodeHandle &) const = default;
};

// How a node keeps its children.
enum class ChildOrder : int
{
    Insertion = 0,
    // By the "SortMe" value, then by caption; the top level reads stores, then the group roots.
    Natural = 1,
    // By a named value, or the caption when no name is given.
    ByValue = 2,
};

// An ordered tree of nodes, each with a caption, picture, colour, state, expansion flag,
// an optional column layout for its children and named values (names match without
// regard to letter case).
//
// Nodes are held by stable handles. Display indices (0-based, in display order, a node's
// descendants directly after it) are computed from the structure when asked for and
// cached until the structure changes; loops over many nodes should hold handles, not
// indices. Sorting of children is deferred until their order is looked at, so adding
// many children to a sorted node costs one sort. Every operation is at most
// O(n log n) in the number of nodes.
//
// Operations on a null or stale handle, or an index out of range, do nothing and read
// as empty.
class TreeList
{
public:
    TreeList();
    ~TreeList();
    TreeList(const TreeList &) = delete;
    TreeList &operator=(const TreeList &) = delete;

    // --- Building ---------------------------------------------------------------------
    // Appends a node as the parent's last child (a null parent: the top level), or at its
    // sorted place when the parent keeps its children sorted.
    NodeHandle addNode(const QString &caption, NodeHandle parent = {});
    // Room for that many more nodes, and for that many values on one node: a large listing
    // then grows its storage once instead of doubling it (and holding both copies) as it goes.
    void reserveNodes(int more);
    void reserveValues(NodeHandle node, int count);
    [[nodiscard]] NodeHandle newNode() const; // the node added last
    [[nodiscard]] int newIndex() const;
    [[nodiscard]] int count() const { return static_cast<int>(m_liveCount); }
    [[nodiscard]] bool isValid(NodeHandle node) const;

    void remove(NodeHandle node); // with its descendants
    void removeDescendants(NodeHandle node);
    void clear();

    // --- Display order ----------------------------------------------------------------
    [[nodiscard]] int indexOf(NodeHandle node) const; // -1 for a null or stale handle
    [[nodiscard]] NodeHandle at(int index) const;     // null when out of range
    // Every node in display order.
    [[nodiscard]] std::vector<NodeHandle> displayOrder() const;

    // --- Structure ----------------------------------------------------------------------
    [[nodiscard]] int level(NodeHandle node) const; // 0 at the top level
    [[nodiscard]] NodeHandle parent(NodeHandle node) const;
    [[nodiscard]] bool hasChildren(NodeHandle node) const;
    [[nodiscard]] int childCount(NodeHandle node) const;
    [[nodiscard]] int descendantCount(NodeHandle node) const;
    [[nodiscard]] std::vector<NodeHandle> children(NodeHandle node) const; // null: top level
    [[nodiscard]] NodeHandle firstChild(NodeHandle node) const;
    [[nodiscard]] NodeHandle nextSibling(NodeHandle node) const;

    [[nodiscard]] ChildOrder childOrder(NodeHandle node) const;
    [[nodiscard]] QString childOrderValue(NodeHandle node) const;
    // A null node sets the order of the top level.
    void setChildOrder(NodeHandle node, ChildOrder order, const QString &valueName = {});
    // The caller vouches that the node's children already stand in its order (copied in
    // display order from a tree that keeps the same order): a large list is not compared
    // again when its order is next looked at.
    void markChildrenInOrder(NodeHandle node);

    // --- Node properties ----------------------------------------------------------------
    [[nodiscard]] QString caption(NodeHandle node) const;
    void setCaption(NodeHandle node, const QString &caption);
    [[nodiscard]] int picture(NodeHandle node) const;
    void setPicture(NodeHandle node, int picture);
    [[nodiscard]] quint32 colour(NodeHandle node) const;
    void setColour(NodeHandle node, quint32 colour);
    [[nodiscard]] int state(NodeHandle node) const;
    void setState(NodeHandle node, int state);
    [[nodiscard]] bool isExpanded(NodeHandle node) const;
    void setExpanded(NodeHandle node, bool expanded);

    [[nodiscard]] NodeValue value(NodeHandle node, const QString &name) const;
    void setValue(NodeHandle node, const QString &name, const NodeValue &value);
    // The names and values set on a node, in the order they were first set.
    [[nodiscard]] std::vector<std::pair<QString, NodeValue>> values(NodeHandle node) const;

    // A node without a layout reads as one with no columns. Valid until the node's layout
    // is set again or the node is removed.
    [[nodiscard]] const ColumnLayout &columnLayout(NodeHandle node) const;
    [[nodiscard]] bool hasColumnLayout(NodeHandle node) const;
    void setColumnLayout(NodeHandle node, const ColumnLayout &layout);

    // --- Current node and selection -----------------------------------------------------
    [[nodiscard]] NodeHandle current() const;
    void setCurrent(NodeHandle node);
    [[nodiscard]] bool isSelected(NodeHandle node) const;
    void setSelected(NodeHandle node, bool selected);
    void clearSelection();
    [[nodiscard]] int selectedCount() const { return static_cast<int>(m_selectedCount); }
    // The i-th selected node (0-based) in display order.
    [[nodiscard]] NodeHandle selected(int i) const;
    [[nodiscard]] std::vector<NodeHandle> selectedNodes() const;

    // --- Finding ------------------------------------------------------------------------
    // The first node from `first` to `last` (display indices, inclusive; -1: to the end)
    // whose value `name` matches `value` (numbers as numbers, else the texts exactly).
    [[nodiscard]] NodeHandle findByValue(const NodeValue &value, const QString &name, int first = 0,
                                         int last = -1) const;
    // The first node from `first` to `last` whose caption equals `caption` exactly.
    [[nodiscard]] NodeHandle findByCaption(const QString &caption, int first = 0,
                                           int last = -1) const;

    // --- Branches -----------------------------------------------------------------------
    // A copy of the node with its descendants, or of its descendants only.
    [[nodiscard]] TreeBranch copyBranch(NodeHandle node, bool descendantsOnly = false) const;
    // Shows the node with its descendants, or its descendants only, in display order, to
    // `visitor` without copying; name numbers in the views index valueNames().
    void visitBranch(NodeHandle node, bool descendantsOnly,
                     const std::function<void(const BranchNodeView &)> &visitor) const;
    [[nodiscard]] const std::vector<QString> &valueNames() const { return m_names; }
    // Inserts the branch's top nodes as children of `parent` (null: the top level);
    // returns the first node inserted.
    NodeHandle insertBranch(const TreeBranch &branch, NodeHandle parent = {});
    // The same, moving the branch's texts and values rather than copying them.
    NodeHandle insertBranch(TreeBranch &&branch, NodeHandle parent);

    // --- Drawing ------------------------------------------------------------------------
    // A view registers here; it is told when the tree asks to be redrawn.
    void setRefreshHandler(std::function<void()> handler);
    void suspendDrawing() { ++m_suspended; }
    [[nodiscard]] bool isDrawingSuspended() const { return m_suspended > 0; }
    // Ends every suspension and redraws once.
    void refresh();
    // Counts structural and expansion changes, so a view can tell whether its rows are stale.
    [[nodiscard]] quint64 structureStamp() const { return m_structureStamp; }

private:
    struct Node;
    static constexpr quint32 None = 0;
    static constexpr quint32 Root = 1; // hidden parent of the top level

    [[nodiscard]] const Node *node(NodeHandle handle) const;
    [[nodiscard]] Node *node(NodeHandle handle);
    [[nodiscard]] NodeHandle handleOf(quint32 slot) const;
    [[nodiscard]] quint32 parentSlotOf(NodeHandle parent) const;
    quint32 allocate();
    void release(quint32 slot);
    quint32 appendChild(quint32 parentSlot, const QString &caption);
    void unlink(quint32 slot);
    void freeSubtree(quint32 slot);
    void adjustDescendants(quint32 fromParent, qint64 delta);
    template<typename Branch>
    NodeHandle insertNodes(Branch &branch, NodeHandle parent);
    void markOrderDirty(quint32 parentSlot);
    void markStructureChanged();
    void ensureSorted(quint32 parentSlot) const;
    void ensureDisplayOrder() const;
    void ensureSelectionList() const;
    [[nodiscard]] int nameId(const QString &name) const; // -1 when never used
    int internName(const QString &name);
    [[nodiscard]] bool affectsParentOrder(quint32 slot, int nameId) const;

    // Slot 0 unused, slot 1 the hidden root.
    mutable std::vector<Node, LargeBlockAllocator<Node>> m_nodes;
    std::vector<quint32> m_free;
    quint32 m_liveCount = 0;
    quint64 m_nextSequence = 0;
    quint32 m_lastAdded = None;
    quint32 m_current = None;
    quint32 m_selectedCount = 0;

    struct RecentName
    {
        QString name;
        int id = -1;
    };
    mutable QHash<QString, int> m_nameIds; // case-folded name and every spelling met -> id
    mutable std::array<RecentName, 8> m_recentNames;
    mutable size_t m_nextRecent = 0;
    std::vector<QString> m_names; // spelling first used
    int m_sortMeName = -1;

    mutable std::vector<quint32> m_order; // display order of live slots
    mutable bool m_orderDirty = false;
    mutable std::vector<quint32> m_selection;
    mutable bool m_selectionDirty = false;
    quint64 m_structureStamp = 0;

    int m_suspended = 0;
    std::function<void()> m_refreshHandler;
};

} // namespace corvel
