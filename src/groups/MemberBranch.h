#pragma once

#include "tree/NodeKinds.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"

#include <QString>

namespace corvel {

// New members of a group made in a list of their own, away from the main tree, and handed
// over as one branch in the order the group shows them: a worker can make them, and the tree
// takes them in one step without sorting them again.
class MemberBranch
{
public:
    MemberBranch();

    void add(NodeKind kind, const QString &entryId, const QString &fileAs, const QString &address);
    [[nodiscard]] TreeBranch take();

private:
    TreeList m_rows;
    NodeHandle m_holder;
};

} // namespace corvel
