#pragma once

#include "support/Result.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

class GroupStore;
class OlNamespace;
class StatusPanels;

// A Dynamic Mail Group loaded in three steps, so a window can read off its event loop: plan
// and apply touch the tree and run where it lives; readMembers reads the session into
// detached member rows and touches no tree. A load that stops before apply changes nothing.
class DynamicLoad
{
public:
    struct Contact
    {
        QString entryId;
        QString fileAs;
        QString address;
        QString categories;
    };
    struct Source
    {
        QString entryId;
        QString storeId;
        QString name;
        bool listed = false;
        std::vector<Contact> contacts; // of a listed folder, copied from its rows
    };
    struct Plan
    {
        NodeHandle group;
        QString categories;
        std::vector<Source> sources;
    };

    [[nodiscard]] static Plan plan(const TreeList &tree, NodeHandle group);
    // Fails, naming the first folder that is not available. progress may be null.
    [[nodiscard]] static Result<TreeBranch> readMembers(OlNamespace *session, const Plan &plan,
                                                        StatusPanels *progress);
    // Replaces the group's members in one step; refused when the group is gone.
    [[nodiscard]] static Status apply(TreeList &tree, const GroupStore &store, NodeHandle group,
                                      TreeBranch &&members, const QString &loadedAt);
    // Panel 2 says what is being done while the members are read.
    static void announce(StatusPanels *panels);
};

} // namespace corvel
