#pragma once

#include "groups/AddressListFile.h"
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

// An address list file loaded into a Standard Mail Group in three steps, so a window can read
// and check the file off its event loop: plan takes what it needs from the tree, read makes
// detached members of the file's entries and touches no tree, apply attaches them at once. A
// load that stops before apply changes nothing.
class AddressListImport
{
public:
    struct Plan
    {
        NodeHandle group;
        QString path;
        HeldAddresses held;
    };
    struct Built
    {
        TreeBranch members;
        GroupEditor::Loaded loaded;
    };

    [[nodiscard]] static Plan plan(const TreeList &tree, NodeHandle group, const QString &path);
    // Fails with the reason the file cannot be read. progress may be null.
    [[nodiscard]] static Result<Built> read(Plan plan, StatusPanels *progress);
    // Typed-in members of the entries, without looking for duplicates; an entry whose name or
    // address is refused is left out with its line. The share [first, last] of progress.
    [[nodiscard]] static Built build(const std::vector<AddressListFile::Entry> &entries,
                                     HeldAddresses held, StatusPanels *progress, int first = 0);
    // Refused, nothing changed, when the group is gone.
    [[nodiscard]] static Result<GroupEditor::Loaded> apply(TreeList &tree, const GroupStore &store,
                                                           NodeHandle group, Built &&built);
};

} // namespace corvel
