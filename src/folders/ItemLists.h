#pragma once

#include "support/Result.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvel {

class BusyIndicator;
class ColumnSets;
struct ColumnSet;
class FolderItemReader;
class OlNamespace;
class StatusPanels;

// Lists the contacts or messages of a folder node as rows below it (or below a listing node
// when the folder has sub-folders), with the folder's own column set as headings and widths.
//
// Nodes of another kind, or without an EntryId, are ignored and read as success. A folder
// that the session can no longer open (deleted or moved since start-up) leaves the tree,
// the column sets and the pointer as they were, and the reason is returned for the caller
// to show.
class ItemLists
{
public:
    // status and busy may be null (a run without a window).
    ItemLists(TreeList &tree, OlNamespace &session, ColumnSets &columnSets,
              StatusPanels *status = nullptr, BusyIndicator *busy = nullptr);

    // Kinds 1 and 2. The rows holder becomes current, selected and expanded; panel 1 shows
    // its count.
    [[nodiscard]] Status loadContacts(NodeHandle node);
    // Kinds 3 and 4. `expand` sets the holder's expanded state; `select` makes it current
    // and shows the count, otherwise the current node stays and panel 1 is cleared.
    [[nodiscard]] Status loadMessages(NodeHandle node, bool expand, bool select);
    // The first node whose EntryId is draftsEntryId, its messages listed afresh (without
    // expanding or selecting; under its rows holder); null when there is none. Why a listing
    // failed goes to `listing` when given.
    [[nodiscard]] NodeHandle findDraftsNode(const QString &draftsEntryId,
                                            Status *listing = nullptr);

    // A listing in three steps, for a window that reads the folder off its event loop: plan
    // and apply touch the tree and run where it lives; readRows reads the session into
    // detached rows and touches neither the tree nor the column sets.
    struct Plan;
    // Nothing (read as success) for a node of another kind or without an EntryId.
    [[nodiscard]] std::optional<Plan> planContacts(NodeHandle node) const;
    [[nodiscard]] std::optional<Plan> planMessages(NodeHandle node, bool expand, bool select) const;
    // Fails, saying why, when the folder cannot be read. progress may be null; a JobProgress
    // cancelled stops the read at its next chunk (JobCancelled).
    [[nodiscard]] static Result<TreeBranch> readRows(OlNamespace &session, const Plan &plan,
                                                     StatusPanels *progress);
    // Puts the rows in place as a synchronous load would have; a node removed or changed
    // meanwhile is left alone.
    [[nodiscard]] Status applyRows(const Plan &plan, TreeBranch &&rows);
    // Panel 2 says what is being listed (and panel 1 is cleared for contacts).
    void announce(const Plan &plan);

    // The node that holds (or would hold) the rows of a folder node: its listing node for a
    // folder of kind 20 or 21, else the node itself. Null for a kind 20/21 node without one.
    [[nodiscard]] NodeHandle rowsHolder(NodeHandle node) const;

    // Set to 1 on a rows holder whose folder is listed for the first time this run, without
    // widths of its own: the view that shows it fits them to the rows and clears it.
    [[nodiscard]] static QString fitColumnsValue() { return QStringLiteral("FitColumns"); }

    struct Kind;

private:
    [[nodiscard]] std::optional<Plan> plan(NodeHandle node, const Kind &kind, bool expand,
                                           bool select) const;
    [[nodiscard]] Status load(std::optional<Plan> plan);
    // progress, when given, may stop the opening of a large folder (JobCancelled).
    [[nodiscard]] static Result<std::unique_ptr<FolderItemReader>>
    openReader(OlNamespace &session, const Plan &plan, StatusPanels *progress);
    // Makes the rows holder and its columns, lets addTo fill it (true: with rows already in
    // order), then shows it.
    void place(const Plan &plan,
               const std::function<bool(NodeHandle, const ColumnLayout &)> &addTo);
    [[nodiscard]] static ColumnSet fallbackSet(const Kind &kind);
    // The node the rows go below: the folder node, or a new listing node when the folder
    // has sub-folders (madeListingNode then set).
    [[nodiscard]] NodeHandle rowsHolderFor(NodeHandle node, const Kind &kind,
                                           bool &madeListingNode);
    // Rows made chunk by chunk as the folder is read, each item let go once its row is made;
    // fails, saying why, when the read does (the rows made so far stay).
    [[nodiscard]] Status addRows(NodeHandle holder, const Plan &plan, const ColumnLayout &layout,
                                 FolderItemReader &reader);
    void showListed(NodeHandle holder, bool expand, bool select);
    [[nodiscard]] int columnSetFor(const QString &entryId, const Kind &kind);
    [[nodiscard]] ColumnLayout layoutFor(int columnSet) const;
    [[nodiscard]] static ColumnLayout layoutFor(const ColumnSet &set);
    // The layout a listing will show, without adding a column set.
    [[nodiscard]] ColumnLayout plannedLayout(NodeHandle holder, const QString &entryId,
                                             const Kind &kind) const;
    void showCaption(int panel, const QString &text);

    TreeList &m_tree;
    OlNamespace &m_session;
    ColumnSets &m_columnSets;
    StatusPanels *m_status;
    BusyIndicator *m_busy;
};

struct ItemLists::Plan
{
    NodeHandle node;
    const Kind *kind = nullptr;
    QString entryId;
    QString storeId;
    QString caption;
    ColumnLayout layout; // which values the rows carry
    bool expand = true;
    bool select = true;
};

} // namespace corvel
