#include "folders/ItemLists.h"

#include "folders/ColumnSets.h"
#include "session/FolderItemReader.h"
#include "session/OutlookSession.h"
#include "support/BusyIndicator.h"
#include "support/PercentMeter.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace corvel {

namespace {

// The item properties a list can show.
enum class Property
{
    FileAs,
    Email1Address,
    Categories,
    Subject
};

struct Readable
{
    const char *name;
    Property property;
    const char *fallbackHeading; // for a class whose default column set is missing
};

constexpr Readable ContactFields[] = {{"FileAs", Property::FileAs, "Contact Name"},
                                      {"Email1Address", Property::Email1Address, "eMail Address"},
                                      {"Categories", Property::Categories, "Categories"}};
constexpr Readable MessageFields[] = {{"Subject", Property::Subject, "Subject"}};

constexpr int FallbackWidthPixels = 150;
constexpr int DefaultWidthPixels = 167;
constexpr int MaxWidthPixels = std::numeric_limits<int>::max() / ColumnLayout::TwipsPerPixel;

QString readProperty(const OlItem &item, Property property)
{
    switch (property) {
    case Property::FileAs:
        return item.FileAs();
    case Property::Email1Address:
        return item.Email1Address();
    case Property::Categories:
        return item.Categories();
    case Property::Subject:
        return item.Subject();
    }
    return {};
}

const char *const ListingPrefix = " ... data for: ";

} // namespace

// What differs between listing contacts and listing messages.
struct ItemLists::Kind
{
    NodeKind unlisted;
    NodeKind listed;
    NodeKind withListingNode;
    int itemClass;
    NodeKind rowKind;
    const char *activity;
    const char *defaultClass;
    const char *sortValue;
    const Readable *fields;
    size_t fieldCount;
    bool clearCountFirst;
};

namespace {

// The values of one listing's rows: which columns can be filled, resolved once rather than
// per row.
class RowValues
{
public:
    RowValues(const ItemLists::Kind &kind, const ColumnLayout &layout)
        : m_kind(kind)
        , m_entryIdName(NodeValueName::EntryId())
    {
        for (int i = 1; i < layout.columnCount(); ++i) {
            const QString &name = layout.columns[static_cast<size_t>(i)].boundValue;
            for (size_t f = 0; f < kind.fieldCount; ++f) {
                if (name.compare(QLatin1String(kind.fields[f].name), Qt::CaseInsensitive) == 0)
                    m_bindings.push_back({name, kind.fields[f].property});
            }
        }
    }

    // Item by item, a failure costs only what it touches: an unreadable class skips the
    // item, an unreadable property leaves that value unset.
    void addRow(TreeList &tree, NodeHandle holder, const OlItem &item) const
    {
        int itemClass = 0;
        try {
            itemClass = item.Class();
        } catch (const OutlookError &) {
        }
        if (itemClass != m_kind.itemClass)
            return;
        const NodeHandle row = tree.addNode(QString(), holder);
        tree.reserveValues(row, 2 + static_cast<int>(m_bindings.size())); // EntryId, olType
        try {
            tree.setValue(row, m_entryIdName, item.EntryID());
        } catch (const OutlookError &) {
        }
        setNodeKind(tree, row, m_kind.rowKind);
        for (const Binding &binding : m_bindings) {
            try {
                tree.setValue(row, binding.name, readProperty(item, binding.property));
            } catch (const OutlookError &) {
            }
        }
    }

private:
    struct Binding
    {
        QString name; // as the column set spells it
        Property property;
    };
    const ItemLists::Kind &m_kind;
    const QString m_entryIdName;
    std::vector<Binding> m_bindings;
};

QString cannotList(const ItemLists::Plan &plan, const OutlookError &error)
{
    return QStringLiteral("The folder \"%1\" cannot be listed: %2")
        .arg(plan.caption, error.message());
}

} // namespace

ItemLists::ItemLists(TreeList &tree, OlNamespace &session, ColumnSets &columnSets,
                     StatusPanels *status, BusyIndicator *busy)
    : m_tree(tree)
    , m_session(session)
    , m_columnSets(columnSets)
    , m_status(status)
    , m_busy(busy)
{
}

namespace {
constexpr ItemLists::Kind contacts{NodeKind::ContactFolder,
                                   NodeKind::ContactFolderListed,
                                   NodeKind::ContactFolderListing,
                                   olContactItem,
                                   NodeKind::ContactRow,
                                   "Loading Contacts",
                                   "IPM.Contact",
                                   "FileAs",
                                   ContactFields,
                                   std::size(ContactFields),
                                   true};
constexpr ItemLists::Kind messages{NodeKind::MessageFolder,
                                   NodeKind::MessageFolderListed,
                                   NodeKind::MessageFolderListing,
                                   olMailItem,
                                   NodeKind::MessageRow,
                                   "Loading Messages",
                                   "IPM.Note",
                                   "Subject",
                                   MessageFields,
                                   std::size(MessageFields),
                                   false};
} // namespace

Status ItemLists::loadContacts(NodeHandle node)
{
    return load(plan(node, contacts, true, true));
}

Status ItemLists::loadMessages(NodeHandle node, bool expand, bool select)
{
    return load(plan(node, messages, expand, select));
}

std::optional<ItemLists::Plan> ItemLists::planContacts(NodeHandle node) const
{
    return plan(node, contacts, true, true);
}

std::optional<ItemLists::Plan> ItemLists::planMessages(NodeHandle node, bool expand,
                                                       bool select) const
{
    return plan(node, messages, expand, select);
}

NodeHandle ItemLists::findDraftsNode(const QString &draftsEntryId, Status *listing)
{
    // Without a Drafts folder every node lacking an EntryId would match the empty text.
    if (draftsEntryId.isEmpty())
        return {};
    const NodeHandle node = m_tree.findByValue(NodeValue(draftsEntryId), NodeValueName::EntryId());
    if (node.isNull())
        return {};
    // Listed afresh each time: a letter written since the last listing is one to offer.
    const NodeHandle holder = rowsHolder(node);
    Status listed = loadMessages(holder ? holder : node, false, false);
    if (listing)
        *listing = std::move(listed);
    return node;
}

NodeHandle ItemLists::rowsHolder(NodeHandle node) const
{
    const NodeKind kind = nodeKind(m_tree, node);
    if (kind != NodeKind::ContactFolderListing && kind != NodeKind::MessageFolderListing)
        return node;
    const QString entryId = m_tree.value(node, NodeValueName::EntryId()).toString();
    const NodeKind listed = kind == NodeKind::ContactFolderListing ? NodeKind::ContactFolderListed
                                                                   : NodeKind::MessageFolderListed;
    for (NodeHandle child = m_tree.firstChild(node); child; child = m_tree.nextSibling(child)) {
        if (nodeKind(m_tree, child) == listed &&
            m_tree.value(child, NodeValueName::EntryId()).toString() == entryId)
            return child;
    }
    return {};
}

void ItemLists::showCaption(int panel, const QString &text)
{
    if (m_status)
        m_status->updateCaption(panel, text);
}

std::optional<ItemLists::Plan> ItemLists::plan(NodeHandle node, const Kind &kind, bool expand,
                                               bool select) const
{
    const NodeKind before = nodeKind(m_tree, node);
    if (!m_tree.isValid(node) || (before != kind.unlisted && before != kind.listed))
        return std::nullopt;
    const QString entryId = m_tree.value(node, NodeValueName::EntryId()).toString();
    if (entryId.isEmpty())
        return std::nullopt;
    // A listed node, or one without sub-folders, holds its own rows.
    const bool ownRows = before == kind.listed || !m_tree.hasChildren(node);
    return Plan{node,
                &kind,
                entryId,
                m_tree.value(node, NodeValueName::StoreId()).toString(),
                m_tree.caption(node),
                plannedLayout(ownRows ? node : NodeHandle(), entryId, kind),
                expand,
                select};
}

void ItemLists::announce(const Plan &plan)
{
    if (plan.kind->clearCountFirst)
        showCaption(StatusPanels::CountPanel, QString());
    showCaption(StatusPanels::ActivityPanel, QString::fromLatin1(plan.kind->activity));
}

Result<std::unique_ptr<FolderItemReader>>
ItemLists::openReader(OlNamespace &session, const Plan &plan, StatusPanels *progress)
{
    try {
        const std::shared_ptr<OlFolder> folder =
            session.GetFolderFromID(plan.entryId, plan.storeId);
        return folder->itemReader([progress] {
            if (progress)
                progress->checkCancelled();
        });
    } catch (const OutlookError &error) {
        return Result<std::unique_ptr<FolderItemReader>>::failure(cannotList(plan, error));
    }
}

Status ItemLists::load(std::optional<Plan> plan)
{
    if (!plan)
        return {};
    BusyScope busy(m_busy);
    announce(*plan);
    // The folder is opened before the tree is touched: when it is gone, the node keeps its
    // kind and rows and no listing node or column set is left behind.
    Result<std::unique_ptr<FolderItemReader>> reader = openReader(m_session, *plan, nullptr);
    if (!reader.ok()) {
        showCaption(StatusPanels::ActivityPanel, QString());
        return Status::failure(reader.error());
    }
    Status read;
    place(*plan, [&](NodeHandle holder, const ColumnLayout &layout) {
        // Made while the folder is read, before the tree is drawn.
        read = addRows(holder, *plan, layout, **reader);
        return false;
    });
    return read;
}

Result<TreeBranch> ItemLists::readRows(OlNamespace &session, const Plan &plan,
                                       StatusPanels *progress)
{
    Result<std::unique_ptr<FolderItemReader>> reader = openReader(session, plan, progress);
    if (!reader.ok())
        return Result<TreeBranch>::failure(reader.error());
    // Built in a tree of their own, so the shown tree is touched only when they are placed.
    TreeList rows;
    ColumnSets unused;
    ItemLists lists(rows, session, unused, progress);
    const NodeHandle holder = rows.addNode(QString());
    const Status read = lists.addRows(holder, plan, plan.layout, **reader);
    reader->reset(); // its threads are done with
    if (!read.ok())
        return Result<TreeBranch>::failure(read.error());
    // A job cancelled now need not wait for the sort.
    if (progress)
        progress->checkCancelled();
    // Copied in display order, the rows arrive sorted and are not sorted again when placed.
    rows.setChildOrder(holder, ChildOrder::ByValue, QString::fromLatin1(plan.kind->sortValue));
    return rows.copyBranch(holder, true);
}

Status ItemLists::applyRows(const Plan &plan, TreeBranch &&rows)
{
    const NodeKind now = nodeKind(m_tree, plan.node);
    if (!m_tree.isValid(plan.node) || (now != plan.kind->unlisted && now != plan.kind->listed))
        return {};
    place(plan, [&](NodeHandle holder, const ColumnLayout &) {
        if (!rows.isEmpty())
            m_tree.insertBranch(std::move(rows), holder);
        return true; // sorted as they were read
    });
    return {};
}

void ItemLists::place(const Plan &plan,
                      const std::function<bool(NodeHandle, const ColumnLayout &)> &addTo)
{
    const Kind &kind = *plan.kind;
    const NodeHandle node = plan.node;
    m_tree.suspendDrawing();
    bool madeListingNode = false;
    const NodeHandle holder = rowsHolderFor(node, kind, madeListingNode);
    const bool firstListing = m_columnSets.findColumnSet(plan.entryId) == 0;
    const int set = columnSetFor(plan.entryId, kind);
    m_columnSets.record(set).displayName = m_tree.caption(holder);
    ColumnLayout layout = layoutFor(set);
    // A refresh keeps the widths shown: the set's own are only brought up to date at save.
    if (m_tree.hasColumnLayout(holder) &&
        m_tree.columnLayout(holder).columnCount() == layout.columnCount())
        layout = m_tree.columnLayout(holder);
    m_tree.setColumnLayout(holder, layout);
    if (firstListing)
        m_tree.setValue(holder, fitColumnsValue(), 1);
    const bool rowsInOrder = addTo(holder, layout);
    m_tree.setChildOrder(holder, ChildOrder::ByValue, QString::fromLatin1(kind.sortValue));
    if (rowsInOrder)
        m_tree.markChildrenInOrder(holder);
    // Sub-folders and the listing node keep the tree's natural order: the listing node's
    // leading space puts it first.
    if (madeListingNode)
        m_tree.setChildOrder(node, ChildOrder::Natural);
    showCaption(StatusPanels::ActivityPanel, QString());
    // Shown before the one redraw: a redraw walks every row.
    showListed(holder, plan.expand, plan.select);
    m_tree.refresh();
}

ColumnLayout ItemLists::plannedLayout(NodeHandle holder, const QString &entryId,
                                      const Kind &kind) const
{
    ColumnLayout layout;
    if (const int own = m_columnSets.findColumnSet(entryId)) {
        layout = layoutFor(own);
    } else if (const int classDefault =
                   m_columnSets.findColumnSet(QString::fromLatin1(kind.defaultClass))) {
        layout = layoutFor(classDefault);
    } else {
        layout = layoutFor(fallbackSet(kind));
    }
    if (holder && m_tree.hasColumnLayout(holder) &&
        m_tree.columnLayout(holder).columnCount() == layout.columnCount())
        layout = m_tree.columnLayout(holder);
    return layout;
}

ColumnSet ItemLists::fallbackSet(const Kind &kind)
{
    // Without the class default the list would have no columns at all; every readable
    // field is shown instead, and the folder keeps that set as its own.
    ColumnSet fallback;
    for (size_t f = 0; f < kind.fieldCount; ++f) {
        fallback.columns.push_back({QString::fromLatin1(kind.fields[f].name),
                                    QString::fromLatin1(kind.fields[f].fallbackHeading),
                                    QString::number(FallbackWidthPixels)});
    }
    return fallback;
}

NodeHandle ItemLists::rowsHolderFor(NodeHandle node, const Kind &kind, bool &madeListingNode)
{
    if (nodeKind(m_tree, node) == kind.listed) {
        m_tree.removeDescendants(node);
        return node;
    }
    setNodeKind(m_tree, node, kind.listed);
    if (!m_tree.hasChildren(node))
        return node;
    const NodeHandle holder =
        m_tree.addNode(QString::fromLatin1(ListingPrefix) + m_tree.caption(node), node);
    setNodeKind(m_tree, holder, kind.listed);
    setNodeKind(m_tree, node, kind.withListingNode);
    for (const QString &name : {NodeValueName::EntryId(), NodeValueName::StoreId()})
        m_tree.setValue(holder, name, m_tree.value(node, name).toString());
    madeListingNode = true;
    m_tree.refresh();
    m_tree.suspendDrawing();
    return holder;
}

Status ItemLists::addRows(NodeHandle holder, const Plan &plan, const ColumnLayout &layout,
                          FolderItemReader &reader)
{
    const Kind &kind = *plan.kind;
    const RowValues values(kind, layout);
    m_tree.reserveNodes(static_cast<int>(reader.expectedCount()));
    // Drawing a bar costs far more than a chunk of rows; only a new whole percent is drawn.
    PercentMeter meter(m_status, 100);
    FolderItemReader::Chunk chunk;
    for (;;) {
        try {
            if (!reader.next(chunk))
                break;
        } catch (const OutlookError &error) {
            return Status::failure(cannotList(plan, error));
        }
        if (m_status)
            m_status->checkCancelled();
        for (std::shared_ptr<OlItem> &item : chunk) {
            values.addRow(m_tree, holder, *item);
            // Its values are shared with the row; the rest need not wait for the last row.
            item.reset();
        }
        meter.reach(size_t(reader.percentRead()));
    }
    return {};
}

void ItemLists::showListed(NodeHandle holder, bool expand, bool select)
{
    if (select) {
        const NodeHandle current = m_tree.current();
        if (current != holder) {
            if (current)
                m_tree.setSelected(current, false);
            m_tree.setCurrent(holder);
            m_tree.setSelected(holder, true);
        }
    }
    m_tree.setExpanded(holder, expand);
    showCaption(StatusPanels::CountPanel,
                select ? QString::number(m_tree.descendantCount(holder)) + QStringLiteral(" Items")
                       : QString());
}

int ItemLists::columnSetFor(const QString &entryId, const Kind &kind)
{
    if (const int own = m_columnSets.findColumnSet(entryId))
        return own;
    int set = 0;
    if (const int classDefault =
            m_columnSets.findColumnSet(QString::fromLatin1(kind.defaultClass))) {
        set = m_columnSets.copyColumnSet(classDefault);
    } else {
        set = m_columnSets.add(fallbackSet(kind));
    }
    m_columnSets.record(set).key = entryId;
    return set;
}

ColumnLayout ItemLists::layoutFor(int columnSet) const
{
    return layoutFor(m_columnSets.record(columnSet));
}

ColumnLayout ItemLists::layoutFor(const ColumnSet &set)
{
    // Columns past the last property have nothing to show.
    int n = static_cast<int>(set.columns.size());
    while (n > 0 && set.columns[static_cast<size_t>(n - 1)].property.isEmpty())
        --n;

    ColumnLayout layout;
    layout.setColumnCount(n + 1);
    layout.columns[0].width = 0;
    for (int i = 1; i <= n; ++i) {
        const ColumnSet::Column &stored = set.columns[static_cast<size_t>(i - 1)];
        ColumnLayout::Column &column = layout.columns[static_cast<size_t>(i)];
        bool numeric = false;
        const double pixels = stored.width.trimmed().toDouble(&numeric);
        const double rounded = numeric ? std::round(pixels) : 0.0;
        // A negative or absurd width would hide the column as surely as a zero one; the
        // largest is one whose twips still fit a file.
        column.width = rounded >= 1 && rounded <= MaxWidthPixels ? static_cast<int>(rounded)
                                                                 : DefaultWidthPixels;
        column.heading = stored.heading;
        column.boundValue = stored.property;
    }
    layout.gridColour = NodeColour::ButtonShadow;
    return layout;
}

} // namespace corvel
