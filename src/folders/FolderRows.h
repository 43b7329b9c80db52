#pragma once

#include "support/Result.h"
#include "support/TableRow.h"

#include <QJsonValue>

#include <functional>
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
    using RowSink = std::function<void(const TableRow &row)>;
    // The items of a contact or message folder (EntryId or caption path), listed into the
    // tree first, in the columns of its column set, handed to `sink` row by row (a large
    // folder's rows are never all held twice); each row's cells are its column values, its
    // JSON (only with `json`: a large folder lists faster without) the named ones. With
    // `find`, only the rows the window's find would show.
    // Refused, nothing handed on, when there is no such folder or it cannot be listed.
    [[nodiscard]] static Status items(TreeList &tree, OlNamespace &session, ColumnSets &columnSets,
                                      const QString &folder, bool json, const QString &find,
                                      const RowSink &sink);
};

// A node value for JSON: a number stays a number.
[[nodiscard]] QJsonValue jsonOf(const NodeValue &value);

} // namespace corvel
