#pragma once

namespace corvel {

class TreeInteraction;
class TreeListView;

// Routes the tree view's events to their handlers. The right-click band is the window's:
// it listens to the view's contextMenuRequested.
void bindTreeInteraction(TreeListView &view, TreeInteraction &interaction);

} // namespace corvel
