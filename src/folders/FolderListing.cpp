#include "folders/FolderListing.h"

#include "folders/FolderLookup.h"
#include "folders/ItemLists.h"

namespace corvel {

FolderListing::FolderListing(TreeList &tree, ItemLists &lists)
    : m_tree(tree)
    , m_lists(lists)
{
}

std::optional<FolderListing::Items> FolderListing::itemsOf(NodeKind kind)
{
    if (!isListable(kind))
        return std::nullopt;
    return isContactFolder(kind) ? Items::Contacts : Items::Messages;
}

Result<NodeHandle> FolderListing::list(NodeHandle node, Items items)
{
    // The rows of a folder with sub-folders live under its listing node, which alone lists.
    const NodeHandle holder = m_lists.rowsHolder(node);
    const NodeHandle listed = holder ? holder : node;
    const Status status = items == Items::Contacts ? m_lists.loadContacts(listed)
                                                   : m_lists.loadMessages(listed, true, true);
    if (!status.ok())
        return Result<NodeHandle>::failure(status.error());
    const NodeHandle rows = m_lists.rowsHolder(listed);
    return rows ? rows : listed;
}

Result<NodeHandle> FolderListing::list(NodeHandle node)
{
    const std::optional<Items> items = itemsOf(nodeKind(m_tree, node));
    if (!items)
        return node;
    return list(node, *items);
}

} // namespace corvel
