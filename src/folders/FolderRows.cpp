#include "folders/FolderRows.h"

#include "folders/FolderListing.h"
#include "folders/FolderLookup.h"
#include "folders/ItemLists.h"
#include "tree/NodeKinds.h"
#include "tree/RowFinder.h"

namespace corvel {

QJsonValue jsonOf(const NodeValue &value)
{
    if (value.isNumber())
        return QJsonValue(static_cast<double>(value.number()));
    return QJsonValue(value.toString());
}

std::vector<TableRow> FolderRows::nodes(const TreeList &tree)
{
    std::vector<TableRow> rows;
    int index = 0;
    for (NodeHandle node : tree.displayOrder()) {
        const NodeValue type = tree.value(node, NodeValueName::olType());
        const NodeValue entryId = tree.value(node, NodeValueName::EntryId());
        rows.push_back(
            {{{QStringLiteral("index"), index++},
              {QStringLiteral("level"), tree.level(node)},
              {QStringLiteral("caption"), tree.caption(node)},
              {QStringLiteral("olType"), jsonOf(type)},
              {QStringLiteral("picture"), tree.picture(node)},
              {QStringLiteral("EntryId"), jsonOf(entryId)},
              {QStringLiteral("StoreId"), jsonOf(tree.value(node, NodeValueName::StoreId()))},
              {QStringLiteral("SortMe"), jsonOf(tree.value(node, NodeValueName::SortMe()))}},
             {QString(tree.level(node) * 2, QLatin1Char(' ')) + tree.caption(node), type.toString(),
              QString::number(tree.picture(node)), entryId.toString()}});
    }
    return rows;
}

Status FolderRows::items(TreeList &tree, OlNamespace &session, ColumnSets &columnSets,
                         const QString &folder, bool json, const QString &find, const RowSink &sink)
{
    using R = Status;
    NodeHandle node = findFolder(tree, folder);
    if (node.isNull())
        return R::failure(QStringLiteral("there is no folder \"%1\"").arg(folder));
    const NodeKind kind = nodeKind(tree, node);
    if (!isListable(kind))
        return R::failure(QStringLiteral("\"%1\" is not a contact or message folder").arg(folder));

    ItemLists lists(tree, session, columnSets);
    const Result<NodeHandle> listed = FolderListing(tree, lists).list(node);
    if (!listed.ok())
        return R::failure(listed.error());

    const NodeHandle holder = listed.value();
    const ColumnLayout &layout = tree.columnLayout(holder);
    QStringList names;
    for (int i = 1; i < layout.columnCount(); ++i)
        names << layout.columns[static_cast<size_t>(i)].boundValue;

    TableRow out;
    for (NodeHandle row : RowFinder::rowsFound(tree, holder, find)) {
        out.cells.clear();
        if (json) {
            out.json = {
                {NodeValueName::olType(), jsonOf(tree.value(row, NodeValueName::olType()))},
                {NodeValueName::EntryId(), jsonOf(tree.value(row, NodeValueName::EntryId()))}};
            for (const QString &name : names) {
                if (!name.isEmpty())
                    out.json[name] = jsonOf(tree.value(row, name));
            }
        } else {
            for (const QString &name : names)
                out.cells << tree.value(row, name).toString();
        }
        sink(out);
    }
    return {};
}

} // namespace corvel
