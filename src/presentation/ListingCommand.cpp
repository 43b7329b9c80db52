#include "presentation/ListingCommand.h"

#include "folders/FolderListing.h"
#include "folders/ItemLists.h"
#include "groups/MailGroups.h"
#include "presentation/DialogHost.h"
#include "presentation/StoreSyncCommand.h"
#include "session/OutlookSession.h"
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
                    m_services.busy);
    FolderListing listing(tree, lists);
    const Result<NodeHandle> listed = listing.list(node, items);
    // The lists set the holder's expansion after their last redraw: show it.
    tree.refresh();
    if (!listed.ok())
        m_services.dialogs->information(listed.error());
}

} // namespace corvel
