#pragma once

#include "groups/GroupEditor.h"
#include "groups/HeldAddresses.h"
#include "support/Result.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

class GroupStore;
class StatusPanels;

// Contacts copied into a Standard Mail Group in three steps, so a window can do the work off
// its event loop: plan takes what it needs from the tree where it lives, build checks and
// de-duplicates the addresses into detached members and touches no tree, apply attaches them
// at once. A copy that stops before apply changes nothing.
class ContactCopy
{
public:
    struct Contact
    {
        QString entryId;
        QString fileAs;
        QString address;
    };
    struct Plan
    {
        NodeHandle group;
        HeldAddresses held;
        std::vector<Contact> contacts; // the contact rows among the nodes, in their order
    };
    struct Built
    {
        TreeBranch members;
        GroupEditor::Copied copied;
    };

    [[nodiscard]] static Plan plan(const TreeList &tree, NodeHandle group,
                                   const std::vector<NodeHandle> &nodes);
    // Skips contacts without an address and addresses held already (an earlier contact's
    // too); names each contact whose address is refused. progress may be null.
    [[nodiscard]] static Built build(Plan plan, StatusPanels *progress);
    // Refused, nothing changed, when the group is gone.
    [[nodiscard]] static Result<GroupEditor::Copied> apply(TreeList &tree, const GroupStore &store,
                                                           NodeHandle group, Built &&built);
};

} // namespace corvel
