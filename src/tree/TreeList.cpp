#include "tree/TreeList.h"

#include <algorithm>
#include <type_traits>

namespace corvel {

namespace {

constexpr quint32 WindowTextColour = 0x80000008;

// Compares sort keys without regard to letter case and without allocating: the same
// comparison checks an existing order and makes a new one, so both always agree.
// A child's sort key, made once per sort. Numbers stand before texts, so that children
// mixing both still have one consistent order; texts compare case-folded, first by the
// first eight folded UTF-16 units packed into two integers (which settles most pairs
// without touching the strings), then by the whole folded text.
struct SortKey
{
    QString folded;
    qint64 number = 0;
    quint64 high = 0;
    quint64 low = 0;
    bool isNumber = false;

    explicit SortKey(const NodeValue &value)
    {
        if (value.isNumber()) {
            isNumber = true;
            number = value.number();
            return;
        }
        folded = value.text().toCaseFolded();
        const qsizetype n = std::min<qsizetype>(folded.size(), 8);
        for (qsizetype i = 0; i < n; ++i) {
            const quint64 unit = folded.at(i).unicode();
            if (i < 4)
                high |= unit << (48 - 16 * i);
            else
                low |= unit << (48 - 16 * (i - 4));
        }
    }
    explicit SortKey(const QString &text)
        : SortKey(NodeValue(text))
    {
    }
    SortKey() = default;

    [[nodiscard]] int compare(const SortKey &other) const
    {
        if (isNumber != other.isNumber)
            return isNumber ? -1 : 1;
        if (isNumber)
            return number < other.number ? -1 : (number > other.number ? 1 : 0);
        if (high != other.high)
            return high < other.high ? -1 : 1;
        if (low != other.low)
            return low < other.low ? -1 : 1;
        return folded.compare(other.folded);
    }
};

// Sorts entries that are in order but for a few places, as a group is after a few of its
// members changed or after new members came in order at its end: the runs already in order
// are merged pairwise, so each entry moves about log(runs) times rather than being sorted
// anew. `runStarts` holds where each run begins. `before` must be a strict total order (ties
// broken by sequence), so the result is the one std::sort gives.
template<typename Entry, typename Before>
void mergeRuns(std::vector<Entry> &entries, std::vector<size_t> runStarts, const Before &before)
{
    runStarts.push_back(entries.size());
    const auto at = [&entries](size_t i) { return entries.begin() + std::ptrdiff_t(i); };
    while (runStarts.size() > 2) {
        std::vector<size_t> merged{0};
        for (size_t r = 0; r + 1 < runStarts.size(); r += 2) {
            if (r + 2 < runStarts.size()) {
                std::inplace_merge(at(runStarts[r]), at(runStarts[r + 1]), at(runStarts[r + 2]),
                                   before);
                merged.push_back(runStarts[r + 2]);
            } else {
                merged.push_back(runStarts[r + 1]);
            }
        }
        runStarts = std::move(merged);
    }
}

} // namespace

struct TreeList::Node
{
    quint32 generation = 0;
    bool alive = false;
    bool expanded = false;
    bool selected = false;
    bool childrenDirty = false;
    ChildOrder childOrder = ChildOrder::Insertion;
    int childOrderName = -1;
    quint32 parent = None;
    quint32 firstChild = None;
    quint32 lastChild = None;
    quint32 prev = None;
    quint32 next = None;
    quint32 childCount = 0;
    quint32 descendants = 0;
    quint32 index = 0;
    int level = 0;
    int picture = 0;
    quint32 colour = WindowTextColour;
    int state = 0;
    quint64 sequence = 0;
    QString caption;
    std::unique_ptr<ColumnLayout> layout;
    std::vector<std::pair<int, NodeValue>> values;

    [[nodiscard]] const NodeValue *find(int nameId) const
    {
        for (const auto &entry : values) {
            if (entry.first == nameId)
                return &entry.second;
        }
        return nullptr;
    }
};

TreeList::TreeList()
{
    m_nodes.resize(2);
    m_nodes[Root].alive = true;
    m_nodes[Root].level = -1;
    m_sortMeName = internName(QStringLiteral("SortMe"));
}

TreeList::~TreeList() = default;

// --- Slots -------------------------------------------------------------------------------

const TreeList::Node *TreeList::node(NodeHandle handle) const
{
    if (handle.slot <= Root || handle.slot >= m_nodes.size())
        return nullptr;
    const Node &n = m_nodes[handle.slot];
    return n.alive && n.generation == handle.generation ? &n : nullptr;
}

TreeList::Node *TreeList::node(NodeHandle handle)
{
    return const_cast<Node *>(std::as_const(*this).node(handle));
}

NodeHandle TreeList::handleOf(quint32 slot) const
{
    if (slot <= Root)
        return {};
    return {slot, m_nodes[slot].generation};
}

bool TreeList::isValid(NodeHandle handle) const
{
    return node(handle) != nullptr;
}

quint32 TreeList::parentSlotOf(NodeHandle parent) const
{
    if (parent.isNull())
        return Root;
    return node(parent) ? parent.slot : None;
}

quint32 TreeList::allocate()
{
    quint32 slot;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
    } else {
        slot = static_cast<quint32>(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node &n = m_nodes[slot];
    n.alive = true;
    n.sequence = m_nextSequence++;
    ++m_liveCount;
    return slot;
}

void TreeList::release(quint32 slot)
{
    Node &n = m_nodes[slot];
    const quint32 generation = n.generation + 1;
    n = Node();
    n.generation = generation;
    m_free.push_back(slot);
    --m_liveCount;
}

quint32 TreeList::appendChild(quint32 parentSlot, const QString &caption)
{
    const quint32 slot = allocate();
    Node &parent = m_nodes[parentSlot];
    Node &n = m_nodes[slot];
    n.caption = caption;
    n.parent = parentSlot;
    n.level = parent.level + 1;
    n.prev = parent.lastChild;
    if (parent.lastChild != None)
        m_nodes[parent.lastChild].next = slot;
    else
        parent.firstChild = slot;
    parent.lastChild = slot;
    ++parent.childCount;
    if (parent.childOrder != ChildOrder::Insertion)
        parent.childrenDirty = true;
    m_lastAdded = slot;
    return slot;
}

void TreeList::unlink(quint32 slot)
{
    Node &n = m_nodes[slot];
    Node &parent = m_nodes[n.parent];
    if (n.prev != None)
        m_nodes[n.prev].next = n.next;
    else
        parent.firstChild = n.next;
    if (n.next != None)
        m_nodes[n.next].prev = n.prev;
    else
        parent.lastChild = n.prev;
    --parent.childCount;
    n.prev = n.next = None;
}

void TreeList::freeSubtree(quint32 top)
{
    std::vector<quint32> pending{top};
    while (!pending.empty()) {
        const quint32 slot = pending.back();
        pending.pop_back();
        for (quint32 child = m_nodes[slot].firstChild; child != None; child = m_nodes[child].next)
            pending.push_back(child);
        if (m_nodes[slot].selected)
            --m_selectedCount;
        if (m_current == slot)
            m_current = None;
        if (m_lastAdded == slot)
            m_lastAdded = None;
        release(slot);
    }
}

void TreeList::adjustDescendants(quint32 fromParent, qint64 delta)
{
    for (quint32 slot = fromParent; slot != None; slot = m_nodes[slot].parent)
        m_nodes[slot].descendants = static_cast<quint32>(m_nodes[slot].descendants + delta);
}

void TreeList::markOrderDirty(quint32 parentSlot)
{
    m_nodes[parentSlot].childrenDirty = true;
    markStructureChanged();
}

void TreeList::markStructureChanged()
{
    m_orderDirty = true;
    m_selectionDirty = true;
    ++m_structureStamp;
}

// --- Building ----------------------------------------------------------------------------

NodeHandle TreeList::addNode(const QString &caption, NodeHandle parent)
{
    const quint32 parentSlot = parentSlotOf(parent);
    if (parentSlot == None)
        return {};
    const quint32 slot = appendChild(parentSlot, caption);
    adjustDescendants(parentSlot, 1);
    markStructureChanged();
    return handleOf(slot);
}

void TreeList::reserveNodes(int more)
{
    const size_t fresh = more > 0 ? size_t(more) : 0;
    if (fresh <= m_free.size())
        return;
    // Never less than doubling: many small reservations must not copy the nodes each time.
    const size_t needed = m_nodes.size() + fresh - m_free.size();
    if (needed > m_nodes.capacity())
        m_nodes.reserve(std::max(needed, m_nodes.capacity() * 2));
}

void TreeList::reserveValues(NodeHandle handle, int count)
{
    if (Node *n = node(handle); n && count > 0)
        n->values.reserve(size_t(count));
}

NodeHandle TreeList::newNode() const
{
    return handleOf(m_lastAdded);
}

int TreeList::newIndex() const
{
    return indexOf(newNode());
}

void TreeList::remove(NodeHandle handle)
{
    if (!node(handle))
        return;
    const quint32 slot = handle.slot;
    const quint32 parentSlot = m_nodes[slot].parent;
    const qint64 removed = qint64(m_nodes[slot].descendants) + 1;
    unlink(slot);
    adjustDescendants(parentSlot, -removed);
    freeSubtree(slot);
    markStructureChanged();
}

void TreeList::removeDescendants(NodeHandle handle)
{
    if (!node(handle))
        return;
    quint32 child = m_nodes[handle.slot].firstChild;
    while (child != None) {
        const quint32 next = m_nodes[child].next;
        freeSubtree(child);
        child = next;
    }
    Node &n = m_nodes[handle.slot];
    const qint64 removed = n.descendants;
    n.firstChild = n.lastChild = None;
    n.childCount = 0;
    n.descendants = 0;
    adjustDescendants(n.parent, -removed);
    markStructureChanged();
}

void TreeList::clear()
{
    for (quint32 slot = Root + 1; slot < m_nodes.size(); ++slot) {
        if (m_nodes[slot].alive)
            release(slot);
    }
    Node &root = m_nodes[Root];
    root.firstChild = root.lastChild = None;
    root.childCount = 0;
    root.descendants = 0;
    m_current = m_lastAdded = None;
    m_selectedCount = 0;
    markStructureChanged();
}

// --- Display order -----------------------------------------------------------------------

void TreeList::ensureSorted(quint32 parentSlot) const
{
    Node &parent = m_nodes[parentSlot];
    if (!parent.childrenDirty)
        return;
    parent.childrenDirty = false;
    if (parent.childOrder == ChildOrder::Insertion || parent.childCount < 2)
        return;

    struct Entry
    {
        SortKey primary;
        quint64 sequence;
        quint32 slot;
        quint32 position; // in captions, for the natural order
    };
    const bool natural = parent.childOrder == ChildOrder::Natural;
    const int byName = natural ? m_sortMeName : parent.childOrderName;
    static const NodeValue empty;
    std::vector<Entry> entries;
    entries.reserve(parent.childCount);
    // Only the natural order breaks ties by caption: a large sorted listing then holds one
    // key a row while it sorts, not two.
    std::vector<SortKey> captions;
    if (natural)
        captions.reserve(parent.childCount);
    for (quint32 child = parent.firstChild; child != None; child = m_nodes[child].next) {
        const Node &n = m_nodes[child];
        const NodeValue *value = byName >= 0 ? n.find(byName) : nullptr;
        SortKey primary = byName >= 0 ? SortKey(value ? *value : empty) : SortKey(n.caption);
        entries.push_back({std::move(primary), n.sequence, child, quint32(captions.size())});
        if (natural)
            captions.emplace_back(n.caption);
    }
    auto before = [&captions](const Entry &a, const Entry &b) {
        if (const int c = a.primary.compare(b.primary))
            return c < 0;
        if (!captions.empty()) {
            if (const int c = captions[a.position].compare(captions[b.position]))
                return c < 0;
        }
        return a.sequence < b.sequence;
    };
    // Children read back from a file, or added in order, are usually sorted already; a group
    // after a few changes, or with new members added in order, nearly so. Runs counted first,
    // so a listing in no order is sorted in place without a second array of keys.
    const size_t fewRuns = entries.size() / 16 + 1;
    std::vector<size_t> runStarts{0};
    for (size_t i = 1; i < entries.size() && runStarts.size() <= fewRuns; ++i) {
        if (before(entries[i], entries[i - 1]))
            runStarts.push_back(i);
    }
    if (runStarts.size() == 1)
        return;
    if (runStarts.size() > fewRuns)
        std::sort(entries.begin(), entries.end(), before);
    else
        mergeRuns(entries, std::move(runStarts), before);
    quint32 previous = None;
    for (const Entry &entry : entries) {
        Node &n = m_nodes[entry.slot];
        n.prev = previous;
        n.next = None;
        if (previous != None)
            m_nodes[previous].next = entry.slot;
        previous = entry.slot;
    }
    parent.firstChild = entries.front().slot;
    parent.lastChild = entries.back().slot;
}

void TreeList::ensureDisplayOrder() const
{
    if (!m_orderDirty)
        return;
    m_order.clear();
    m_order.reserve(m_liveCount);
    ensureSorted(Root);
    quint32 slot = m_nodes[Root].firstChild;
    while (slot != None) {
        m_nodes[slot].index = static_cast<quint32>(m_order.size());
        m_order.push_back(slot);
        ensureSorted(slot);
        if (m_nodes[slot].firstChild != None) {
            slot = m_nodes[slot].firstChild;
            continue;
        }
        while (slot != Root && m_nodes[slot].next == None)
            slot = m_nodes[slot].parent;
        slot = slot == Root ? None : m_nodes[slot].next;
    }
    m_orderDirty = false;
}

int TreeList::indexOf(NodeHandle handle) const
{
    if (!node(handle))
        return -1;
    ensureDisplayOrder();
    return static_cast<int>(m_nodes[handle.slot].index);
}

NodeHandle TreeList::at(int index) const
{
    ensureDisplayOrder();
    if (index < 0 || static_cast<size_t>(index) >= m_order.size())
        return {};
    return handleOf(m_order[static_cast<size_t>(index)]);
}

std::vector<NodeHandle> TreeList::displayOrder() const
{
    ensureDisplayOrder();
    std::vector<NodeHandle> handles;
    handles.reserve(m_order.size());
    for (const quint32 slot : m_order)
        handles.push_back(handleOf(slot));
    return handles;
}

// --- Structure ---------------------------------------------------------------------------

int TreeList::level(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? n->level : 0;
}

NodeHandle TreeList::parent(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? handleOf(n->parent) : NodeHandle{};
}

bool TreeList::hasChildren(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n && n->childCount > 0;
}

int TreeList::childCount(NodeHandle handle) const
{
    const quint32 slot = parentSlotOf(handle);
    return slot == None ? 0 : static_cast<int>(m_nodes[slot].childCount);
}

int TreeList::descendantCount(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? static_cast<int>(n->descendants) : 0;
}

std::vector<NodeHandle> TreeList::children(NodeHandle handle) const
{
    std::vector<NodeHandle> result;
    const quint32 slot = parentSlotOf(handle);
    if (slot == None)
        return result;
    ensureSorted(slot);
    result.reserve(m_nodes[slot].childCount);
    for (quint32 child = m_nodes[slot].firstChild; child != None; child = m_nodes[child].next)
        result.push_back(handleOf(child));
    return result;
}

NodeHandle TreeList::firstChild(NodeHandle handle) const
{
    const quint32 slot = parentSlotOf(handle);
    if (slot == None)
        return {};
    ensureSorted(slot);
    return handleOf(m_nodes[slot].firstChild);
}

NodeHandle TreeList::nextSibling(NodeHandle handle) const
{
    const Node *n = node(handle);
    if (!n)
        return {};
    ensureSorted(n->parent);
    return handleOf(m_nodes[handle.slot].next);
}

ChildOrder TreeList::childOrder(NodeHandle handle) const
{
    const quint32 slot = parentSlotOf(handle);
    return slot == None ? ChildOrder::Insertion : m_nodes[slot].childOrder;
}

QString TreeList::childOrderValue(NodeHandle handle) const
{
    const quint32 slot = parentSlotOf(handle);
    if (slot == None || m_nodes[slot].childOrderName < 0)
        return {};
    return m_names[static_cast<size_t>(m_nodes[slot].childOrderName)];
}

void TreeList::setChildOrder(NodeHandle handle, ChildOrder order, const QString &valueName)
{
    const quint32 slot = parentSlotOf(handle);
    if (slot == None)
        return;
    const int name = valueName.isEmpty() ? -1 : internName(valueName);
    Node &n = m_nodes[slot];
    if (n.childOrder == order && n.childOrderName == name)
        return;
    n.childOrder = order;
    n.childOrderName = name;
    markOrderDirty(slot);
}

// --- Node properties ---------------------------------------------------------------------

QString TreeList::caption(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? n->caption : QString();
}

void TreeList::setCaption(NodeHandle handle, const QString &caption)
{
    Node *n = node(handle);
    if (!n)
        return;
    n->caption = caption;
    const Node &parent = m_nodes[n->parent];
    if (parent.childOrder == ChildOrder::Natural ||
        (parent.childOrder == ChildOrder::ByValue && parent.childOrderName < 0))
        markOrderDirty(n->parent);
}

int TreeList::picture(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? n->picture : 0;
}

void TreeList::setPicture(NodeHandle handle, int picture)
{
    if (Node *n = node(handle))
        n->picture = picture;
}

quint32 TreeList::colour(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? n->colour : WindowTextColour;
}

void TreeList::setColour(NodeHandle handle, quint32 colour)
{
    if (Node *n = node(handle))
        n->colour = colour;
}

int TreeList::state(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n ? n->state : 0;
}

void TreeList::setState(NodeHandle handle, int state)
{
    if (Node *n = node(handle))
        n->state = state;
}

bool TreeList::isExpanded(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n && n->expanded;
}

void TreeList::setExpanded(NodeHandle handle, bool expanded)
{
    Node *n = node(handle);
    if (!n || n->expanded == expanded)
        return;
    n->expanded = expanded;
    // Display indices stay; only the rows a view shows change.
    ++m_structureStamp;
}

int TreeList::nameId(const QString &name) const
{
    // The same few names are used over and over: comparing with the last ones costs less
    // than hashing.
    for (const RecentName &recent : m_recentNames) {
        if (recent.id >= 0 && recent.name == name)
            return recent.id;
    }
    auto found = m_nameIds.constFind(name);
    if (found == m_nameIds.cend()) {
        found = m_nameIds.constFind(name.toCaseFolded());
        if (found == m_nameIds.cend())
            return -1;
        found = m_nameIds.insert(name, found.value()); // this spelling is found directly next time
    }
    m_recentNames[m_nextRecent] = {name, found.value()};
    m_nextRecent = (m_nextRecent + 1) % m_recentNames.size();
    return found.value();
}

int TreeList::internName(const QString &name)
{
    const int known = nameId(name);
    if (known >= 0)
        return known;
    const int id = static_cast<int>(m_names.size());
    m_names.push_back(name);
    m_nameIds.insert(name.toCaseFolded(), id);
    m_nameIds.insert(name, id);
    return id;
}

bool TreeList::affectsParentOrder(quint32 slot, int name) const
{
    const Node &parent = m_nodes[m_nodes[slot].parent];
    switch (parent.childOrder) {
    case ChildOrder::Natural:
        return name == m_sortMeName;
    case ChildOrder::ByValue:
        return name == parent.childOrderName;
    case ChildOrder::Insertion:
        break;
    }
    return false;
}

NodeValue TreeList::value(NodeHandle handle, const QString &name) const
{
    const Node *n = node(handle);
    if (!n)
        return {};
    const int id = nameId(name);
    if (id < 0)
        return {};
    const NodeValue *v = n->find(id);
    return v ? *v : NodeValue();
}

void TreeList::setValue(NodeHandle handle, const QString &name, const NodeValue &value)
{
    if (!node(handle) || name.isEmpty())
        return;
    const int id = internName(name);
    Node &n = m_nodes[handle.slot];
    auto it = std::find_if(n.values.begin(), n.values.end(),
                           [id](const auto &entry) { return entry.first == id; });
    if (value.isEmpty()) {
        if (it != n.values.end())
            n.values.erase(it);
    } else if (it != n.values.end()) {
        // The same value again changes nothing: a large group is not sorted anew for it.
        if (it->second == value)
            return;
        it->second = value;
    } else {
        n.values.emplace_back(id, value);
    }
    if (affectsParentOrder(handle.slot, id))
        markOrderDirty(n.parent);
}

std::vector<std::pair<QString, NodeValue>> TreeList::values(NodeHandle handle) const
{
    std::vector<std::pair<QString, NodeValue>> result;
    if (const Node *n = node(handle)) {
        for (const auto &[id, v] : n->values)
            result.emplace_back(m_names[static_cast<size_t>(id)], v);
    }
    return result;
}

const ColumnLayout &TreeList::columnLayout(NodeHandle handle) const
{
    static const ColumnLayout none;
    const Node *n = node(handle);
    return n && n->layout ? *n->layout : none;
}

bool TreeList::hasColumnLayout(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n && n->layout;
}

void TreeList::setColumnLayout(NodeHandle handle, const ColumnLayout &layout)
{
    if (Node *n = node(handle))
        n->layout = std::make_unique<ColumnLayout>(layout);
}

// --- Current node and selection ----------------------------------------------------------

NodeHandle TreeList::current() const
{
    return handleOf(m_current);
}

void TreeList::setCurrent(NodeHandle handle)
{
    m_current = node(handle) ? handle.slot : None;
}

bool TreeList::isSelected(NodeHandle handle) const
{
    const Node *n = node(handle);
    return n && n->selected;
}

void TreeList::setSelected(NodeHandle handle, bool selected)
{
    Node *n = node(handle);
    if (!n || n->selected == selected)
        return;
    n->selected = selected;
    if (selected)
        ++m_selectedCount;
    else
        --m_selectedCount;
    m_selectionDirty = true;
}

void TreeList::clearSelection()
{
    if (m_selectedCount == 0)
        return;
    for (quint32 slot = Root + 1; slot < m_nodes.size(); ++slot)
        m_nodes[slot].selected = false;
    m_selectedCount = 0;
    m_selectionDirty = true;
}

void TreeList::ensureSelectionList() const
{
    if (!m_selectionDirty)
        return;
    m_selection.clear();
    if (m_selectedCount > 0) {
        ensureDisplayOrder();
        for (const quint32 slot : m_order) {
            if (m_nodes[slot].selected)
                m_selection.push_back(slot);
        }
    }
    m_selectionDirty = false;
}

NodeHandle TreeList::selected(int i) const
{
    ensureSelectionList();
    if (i < 0 || static_cast<size_t>(i) >= m_selection.size())
        return {};
    return handleOf(m_selection[static_cast<size_t>(i)]);
}

std::vector<NodeHandle> TreeList::selectedNodes() const
{
    ensureSelectionList();
    std::vector<NodeHandle> handles;
    handles.reserve(m_selection.size());
    for (const quint32 slot : m_selection)
        handles.push_back(handleOf(slot));
    return handles;
}

// --- Finding -----------------------------------------------------------------------------

NodeHandle TreeList::findByValue(const NodeValue &wanted, const QString &name, int first,
                                 int last) const
{
    ensureDisplayOrder();
    const int end = (last < 0 || static_cast<size_t>(last) >= m_order.size())
                        ? static_cast<int>(m_order.size()) - 1
                        : last;
    const int id = nameId(name);
    const NodeValue empty;
    for (int i = std::max(first, 0); i <= end; ++i) {
        const quint32 slot = m_order[static_cast<size_t>(i)];
        const NodeValue *v = id >= 0 ? m_nodes[slot].find(id) : nullptr;
        if ((v ? *v : empty).matches(wanted))
            return handleOf(slot);
    }
    return {};
}

NodeHandle TreeList::findByCaption(const QString &caption, int first, int last) const
{
    ensureDisplayOrder();
    const int end = (last < 0 || static_cast<size_t>(last) >= m_order.size())
                        ? static_cast<int>(m_order.size()) - 1
                        : last;
    for (int i = std::max(first, 0); i <= end; ++i) {
        const quint32 slot = m_order[static_cast<size_t>(i)];
        if (m_nodes[slot].caption == caption)
            return handleOf(slot);
    }
    return {};
}

// --- Branches ----------------------------------------------------------------------------

void TreeList::visitBranch(NodeHandle handle, bool descendantsOnly,
                           const std::function<void(const BranchNodeView &)> &visitor) const
{
    if (!node(handle))
        return;
    const quint32 top = handle.slot;
    const int baseLevel = m_nodes[top].level + (descendantsOnly ? 1 : 0);
    auto show = [&](quint32 slot) {
        const Node &n = m_nodes[slot];
        visitor({n.level - baseLevel, n.caption, n.picture, n.colour, n.state, n.expanded,
                 static_cast<int>(n.childOrder), n.childOrderName, n.layout.get(), n.values});
    };
    // Pre-order walk without recursion: nesting depth is unbounded.
    if (!descendantsOnly)
        show(top);
    ensureSorted(top);
    quint32 slot = m_nodes[top].firstChild;
    while (slot != None) {
        show(slot);
        ensureSorted(slot);
        if (m_nodes[slot].firstChild != None) {
            slot = m_nodes[slot].firstChild;
            continue;
        }
        while (slot != top && m_nodes[slot].next == None)
            slot = m_nodes[slot].parent;
        slot = slot == top ? None : m_nodes[slot].next;
    }
}

TreeBranch TreeList::copyBranch(NodeHandle handle, bool descendantsOnly) const
{
    TreeBranch branch;
    if (!node(handle))
        return branch;
    std::vector<int> branchName(m_names.size(), -1);
    auto mapName = [&](int id) {
        int &mapped = branchName[static_cast<size_t>(id)];
        if (mapped < 0) {
            mapped = static_cast<int>(branch.names().size());
            branch.names().append(m_names[static_cast<size_t>(id)]);
        }
        return mapped;
    };
    branch.nodes().reserve(m_nodes[handle.slot].descendants + 1);
    visitBranch(handle, descendantsOnly, [&](const BranchNodeView &view) {
        TreeBranch::Node copy;
        copy.level = view.level;
        copy.caption = view.caption;
        copy.picture = view.picture;
        copy.colour = view.colour;
        copy.state = view.state;
        copy.expanded = view.expanded;
        copy.childOrder = view.childOrder;
        copy.childOrderName = view.childOrderName >= 0 ? mapName(view.childOrderName) : -1;
        if (view.layout)
            copy.layout = *view.layout;
        copy.values.reserve(view.values.size());
        for (const auto &[id, v] : view.values)
            copy.values.emplace_back(mapName(id), v);
        branch.nodes().push_back(std::move(copy));
    });
    return branch;
}

NodeHandle TreeList::insertBranch(const TreeBranch &branch, NodeHandle parent)
{
    return insertNodes(branch, parent);
}

NodeHandle TreeList::insertBranch(TreeBranch &&branch, NodeHandle parent)
{
    return insertNodes(branch, parent);
}

void TreeList::markChildrenInOrder(NodeHandle handle)
{
    if (Node *n = node(handle))
        n->childrenDirty = false;
}

namespace {

// Renumbers a branch node's values to the tree's name ids, dropping empty values, unknown
// names and repeats of a name.
template<typename MapName>
void keepNamedValues(std::vector<std::pair<int, NodeValue>> &values, const MapName &mapName)
{
    size_t kept = 0;
    for (auto &entry : values) {
        const int id = mapName(entry.first);
        const auto end = values.begin() + static_cast<std::ptrdiff_t>(kept);
        if (id < 0 || entry.second.isEmpty() ||
            std::any_of(values.begin(), end, [id](const auto &e) { return e.first == id; }))
            continue;
        values[kept++] = {id, std::move(entry.second)};
    }
    values.resize(kept);
}

} // namespace

template<typename Branch>
NodeHandle TreeList::insertNodes(Branch &branch, NodeHandle parent)
{
    // A branch handed over is moved from: a large one is not copied and freed again.
    constexpr bool Moving = !std::is_const_v<Branch>;
    const quint32 parentSlot = parentSlotOf(parent);
    if (parentSlot == None || branch.isEmpty())
        return {};
    std::vector<int> treeName;
    treeName.reserve(static_cast<size_t>(branch.names().size()));
    for (const QString &name : branch.names())
        treeName.push_back(internName(name));
    auto mapName = [&](int index) {
        return index >= 0 && static_cast<size_t>(index) < treeName.size()
                   ? treeName[static_cast<size_t>(index)]
                   : -1;
    };

    reserveNodes(static_cast<int>(branch.size()));
    std::vector<quint32> inserted;
    inserted.reserve(branch.size());
    std::vector<quint32> path{parentSlot}; // path[k]: the parent of a node at level k
    for (auto &source : branch.nodes()) {
        const size_t level =
            std::min<size_t>(static_cast<size_t>(std::max(source.level, 0)), path.size() - 1);
        const quint32 slot = appendChild(path[level], source.caption);
        path.resize(level + 1);
        path.push_back(slot);
        inserted.push_back(slot);

        Node &n = m_nodes[slot];
        n.picture = source.picture;
        n.colour = source.colour;
        n.state = source.state;
        n.expanded = source.expanded;
        n.childOrder = static_cast<ChildOrder>(std::clamp(source.childOrder, 0, 2));
        n.childOrderName = mapName(source.childOrderName);
        n.childrenDirty = n.childOrder != ChildOrder::Insertion;
        if (source.layout)
            n.layout = std::make_unique<ColumnLayout>(*source.layout);
        // Taken whole and renumbered in place: one allocation a node less, which is much of
        // what placing 100,000 rows costs.
        if constexpr (Moving)
            n.values = std::move(source.values);
        else
            n.values = source.values;
        keepNamedValues(n.values, mapName);
    }
    // Descendant counts bottom-up in one pass, so deep branches stay linear.
    for (auto it = inserted.rbegin(); it != inserted.rend(); ++it) {
        const Node &n = m_nodes[*it];
        if (n.parent != parentSlot)
            m_nodes[n.parent].descendants += n.descendants + 1;
    }
    adjustDescendants(parentSlot, static_cast<qint64>(inserted.size()));
    markStructureChanged();
    for (quint32 slot : inserted) {
        if (m_nodes[slot].parent == parentSlot)
            return handleOf(slot);
    }
    return {};
}

// --- Drawing -----------------------------------------------------------------------------

void TreeList::setRefreshHandler(std::function<void()> handler)
{
    m_refreshHandler = std::move(handler);
}

void TreeList::refresh()
{
    m_suspended = 0;
    if (m_refreshHandler)
        m_refreshHandler();
}

} // namespace corvel
