#pragma once

#include "support/Result.h"
#include "tree/TreeList.h"

namespace corvel {

// Supplies the two group roots while the folder tree is built: read back from the group
// file, or new and empty on a first run.
class GroupRootsSource
{
public:
    virtual ~GroupRootsSource() = default;
    // Adds the Standard Mail Groups root and then the Dynamic Mail Groups root below
    // `parent`, or nothing and the reason.
    [[nodiscard]] virtual Status addGroupRoots(TreeList &tree, NodeHandle parent) = 0;
};

} // namespace corvel
