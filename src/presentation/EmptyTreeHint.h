#pragma once

#include "session/ExistingStoreFinder.h"

#include <QString>

#include <vector>

namespace corvel {

class TreeList;
class Workspace;

// What the empty part of the tree says to someone who has not listed anything yet: the next
// step, and the folders Mail Setup found on this computer that no store holds.
class EmptyTreeHint
{
public:
    // Empty once something is listed: the rows then speak for themselves.
    [[nodiscard]] static QString text(bool anythingListed,
                                      const std::vector<StoreSuggestion> &found);
    // What Mail Setup would offer now: the folders found on this computer no store holds.
    [[nodiscard]] static std::vector<StoreSuggestion> storesFound(Workspace &workspace);
    // Whether a folder's items or a group's members have been listed in the tree.
    [[nodiscard]] static bool anythingListed(const TreeList &tree);
};

} // namespace corvel
