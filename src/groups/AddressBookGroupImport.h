#pragma once

#include "support/Result.h"
#include "tree/TreeList.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace corvel {

class GroupEditor;
class OlItem;
class OlNamespace;

// Turns the group cards of an address book folder into Standard Mail Groups: one group per
// card, named by the card (an existing Standard Mail Group of that caption is reused), its
// members copied from the contacts the card names and its mailto members typed in. Members
// already in the group (by address) are not added again, so importing twice adds nothing.
class AddressBookGroupImport
{
public:
    AddressBookGroupImport(TreeList &tree, GroupEditor &editor);

    // items: every item of one folder, contacts and group cards. Returns why members (or
    // cards) were left out: the members that name no contact of the folder.
    [[nodiscard]] QStringList run(NodeHandle standardRoot,
                                  const std::vector<std::shared_ptr<OlItem>> &items);

    // The same for the contact folder of a folder node, read afresh from the session; fails
    // (nothing changed) when the folder cannot be opened.
    [[nodiscard]] Result<QStringList> runFolder(OlNamespace &session, NodeHandle folderNode,
                                                NodeHandle standardRoot);

private:
    NodeHandle groupNamed(NodeHandle standardRoot, const QString &caption);

    TreeList &m_tree;
    GroupEditor &m_editor;
};

} // namespace corvel
