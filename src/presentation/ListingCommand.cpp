#include "presentation/ListingCommand.h"

#include "folders/FolderListing.h"
#include "folders/ItemLists.h"
#include "groups/MailGroups.h"
#include "presentation/DialogHost.h"
#include "presentation/StoreSyncCommand.h"
#include "session/OutlookSession.h"
#include "support/JobRunner.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

namespace corvel {

ListingCommand::ListingCommand(Services services)
    : m_services(std::move(services))
{
}

void ListingCommand::doBtnLoadContacts(int index)
{
    list(index, FolderListing::Items::Contacts);
}

void ListingCommand::doBtnLoadMessages(int index)
{
    list(index, FolderListing::Items::Messages);
}

void ListingCommand::doBtnRefresh(int index)
{
    const TreeList &tree = m_services.workspace->tree();
    const NodeHandle node = tree.at(index);
    if (!node)
        return;
    switch (nodeKind(tree, node)) {
    case NodeKind::ContactFolderListed:
    case NodeKind::ContactFolderListing: {
        // A folder on a server is listed again once its cache is brought up to date.
        const auto relist = [this, node] {
            if (const int now = m_services.workspace->tree().indexOf(node); now >= 0)
                list(now, FolderListing::Items::Contacts);
        };
        if (!m_services.storeSyncs || !m_services.storeSyncs->syncStoreOf(index, relist))
            list(index, FolderListing::Items::Contacts);
        break;
    }
    case NodeKind::MessageFolderListed:
    case NodeKind::MessageFolderListing:
        list(index, FolderListing::Items::Messages);
        break;
    case NodeKind::DynamicGroup:
        if (const Result<GroupId> group = MailGroups::idOf(tree, node);
            group.ok() && m_services.loadDynamicGroup)
            m_services.loadDynamicGroup(*group);
        break;
    default:
        break;
    }
}

void ListingCommand::list(int index, FolderListing::Items items)
{
    Workspace &workspace = *m_services.workspace;
    OlNamespace *session = workspace.session();
    TreeList &tree = workspace.tree();
    const NodeHandle node = tree.at(index);
    if (!session || !node)
        return;
    ItemLists lists(tree, *session, workspace.groups().columnSets(), m_services.panels,
                    m_services.jobs ? nullptr : m_services.busy);
    if (m_services.jobs) {
        listInBackground(lists, node, items);
        return;
    }
    FolderListing listing(tree, lists);
    const Result<NodeHandle> listed = listing.list(node, items);
    // The lists set the holder's expansion after their last redraw: show it.
    tree.refresh();
    if (!listed.ok())
        m_services.dialogs->information(listed.error());
}

void ListingCommand::listInBackground(ItemLists &lists, NodeHandle node, FolderListing::Items items)
{
    // The rows of a folder with sub-folders live under its listing node, which alone lists.
    const NodeHandle holder = lists.rowsHolder(node);
    const NodeHandle listed = holder ? holder : node;
    std::optional<ItemLists::Plan> plan = items == FolderListing::Items::Contacts
                                              ? lists.planContacts(listed)
                                              : lists.planMessages(listed, true, true);
    if (!plan)
        return;
    OlNamespace *session = m_services.workspace->session();
    const bool started = m_services.jobs->start([this, session, plan = *plan](
                                                    JobProgress &progress) -> JobRunner::Apply {
        auto rows =
            std::make_shared<Result<TreeBranch>>(ItemLists::readRows(*session, plan, &progress));
        progress.checkCancelled();
        return [this, plan, rows] { placeRows(plan, std::move(*rows)); };
    });
    if (started)
        lists.announce(*plan);
}

void ListingCommand::placeRows(const ItemLists::Plan &plan, Result<TreeBranch> &&rows)
{
    Workspace &workspace = *m_services.workspace;
    OlNamespace *session = workspace.session();
    if (!session)
        return;
    ItemLists lists(workspace.tree(), *session, workspace.groups().columnSets(), m_services.panels);
    const Status placed =
        rows.ok() ? lists.applyRows(plan, std::move(*rows)) : Status::failure(rows.error());
    if (!placed.ok()) {
        if (m_services.panels)
            m_services.panels->updateCaption(StatusPanels::ActivityPanel, QString());
        m_services.dialogs->information(placed.error());
    }
}

} // namespace corvel
