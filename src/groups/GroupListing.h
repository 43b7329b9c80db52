#pragma once

#include "support/Result.h"
#include "support/TableRow.h"

#include <vector>

namespace corvel {

class TreeList;

// The groups and a group's members as corvelctl lists them for scripts: each stored value
// as the group file holds it (numbers as numbers), beside the cells of the text table.
class GroupListing
{
public:
    [[nodiscard]] static std::vector<TableRow> groups(const TreeList &tree);
    // Refused when no group or several groups have that caption.
    [[nodiscard]] static Result<std::vector<TableRow>>
    members(const TreeList &tree, const QString &caption, const QString &find = {});
};

} // namespace corvel
