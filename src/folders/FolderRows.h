#pragma once

#include "support/Result.h"
#include "support/TableRow.h"

#include <QJsonValue>

#include <vector>

namespace corvel {

class ColumnSets;
class NodeValue;
class OlNamespace;
class TreeList;

// The tree and a folder's items as corvelctl lists them for scripts: stored values as they
// are (numbers as numbers).
class FolderRows
{
public:
    // Every node in display order.
    [[nodiscard]] static std::vector<TableRow> nodes(const TreeList &tree);
    // The items of a contact or message folder (EntryId or caption path), listed into the
    // tree first, in the columns of its column set; each row's cells are its column values,
    // its JSON (only with `json`: a large folder lists faster without) the named ones. With
    // `find`, only the rows the window's find would show.
    // Refused when there is no such folder or it cannot be listed.
    [[nodiscard]] static Result<std::vector<TableRow>> items(TreeList &tree, OlNamespace &session,
                                                             ColumnSets &columnSets,
                                                             const QString &folder, bool json,
                                                             const QString &find = {});
};

// A node value for JSON: a number stays a number.
[[nodiscard]] QJsonValue jsonOf(const NodeValue &value);

} // namespace corvel
