#pragma once

#include "support/Result.h"
#include "tree/NodeKinds.h"
#include "tree/TreeList.h"

#include <optional>

namespace corvel {

class ItemLists;

// Listing a contact or message folder's items as rows, the same for the window's Load and
// Refresh commands and for corvelctl list: a folder with sub-folders is listed again through
// its listing node, not left as it was.
class FolderListing
{
public:
    enum class Items
    {
        Contacts,
        Messages
    };

    FolderListing(TreeList &tree, ItemLists &lists);

    // What a folder node of this kind lists; none for a node that is no contact or message
    // folder.
    [[nodiscard]] static std::optional<Items> itemsOf(NodeKind kind);

    // Lists the items afresh and returns the node holding the rows; a node of another kind is
    // left alone. Fails, the tree as it was, when the folder cannot be opened.
    [[nodiscard]] Result<NodeHandle> list(NodeHandle node, Items items);
    // As its kind says.
    [[nodiscard]] Result<NodeHandle> list(NodeHandle node);

private:
    TreeList &m_tree;
    ItemLists &m_lists;
};

} // namespace corvel
