#include "app/core/TreeSelection.h"

#include "app/treelist/TreeList.h"

namespace corvel {

void TreeSelection::ClearTreeMultiSelection(TreeList &tree)
{
    tree.suspendDrawing();
    if (tree.selectedCount() >= 2)
        tree.clearSelection();
    if (const NodeHandle current = tree.current())
        tree.setSelected(current, true);
    tree.refresh();
}

} // namespace corvel
