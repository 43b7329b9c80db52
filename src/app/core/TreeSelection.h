#pragma once

namespace corvel {

class TreeList;

// Selection helpers of the main tree.
class TreeSelection
{
public:
    // Deselects every selected node except the current one, which ends up selected; the
    // tree is redrawn once.
    static void ClearTreeMultiSelection(TreeList &tree);
};

} // namespace corvel
