#include "groups/GroupListing.h"

#include "folders/FolderRows.h"
#include "groups/GroupStore.h"
#include "tree/NodeKinds.h"
#include "tree/RowFinder.h"

namespace corvel {

std::vector<TableRow> GroupListing::groups(const TreeList &tree)
{
    const QStringList dynamicValues = {NodeValueName::GUID(),        NodeValueName::InCats(),
                                       NodeValueName::EntryIds(),    NodeValueName::StoreIds(),
                                       NodeValueName::FolderNames(), NodeValueName::LastLoaded()};
    std::vector<TableRow> rows;
    for (const NodeKind rootType : {NodeKind::StandardRoot, NodeKind::DynamicRoot}) {
        const NodeHandle root = findNodeOfKind(tree, rootType);
        if (root.isNull())
            continue;
        for (NodeHandle group : tree.children(root)) {
            const NodeValue type = tree.value(group, NodeValueName::olType());
            const int members = tree.childCount(group);
            QJsonObject row{{QStringLiteral("root"), tree.caption(root)},
                            {QStringLiteral("caption"), tree.caption(group)},
                            {QStringLiteral("olType"), jsonOf(type)},
                            {QStringLiteral("members"), members}};
            if (nodeKind(tree, group) == NodeKind::DynamicGroup) {
                for (const QString &name : dynamicValues)
                    row[name] = jsonOf(tree.value(group, name));
            }
            rows.push_back({row,
                            {tree.caption(root), tree.caption(group), type.toString(),
                             QString::number(members)}});
        }
    }
    return rows;
}

Result<std::vector<TableRow>> GroupListing::members(const TreeList &tree, const QString &caption,
                                                    const QString &find)
{
    const Result<NodeHandle> found = GroupStore::groupNamed(tree, caption);
    if (!found.ok())
        return Result<std::vector<TableRow>>::failure(found.error());
    const QStringList names = {NodeValueName::olType(), NodeValueName::EntryId(),
                               NodeValueName::FileAs(), NodeValueName::Email1Address()};
    std::vector<TableRow> rows;
    for (NodeHandle member : RowFinder::rowsFound(tree, *found, find)) {
        TableRow row;
        for (const QString &name : names) {
            row.json[name] = jsonOf(tree.value(member, name));
            row.cells << tree.value(member, name).toString();
        }
        // System colours (the default, window text) have the high bit set.
        const quint32 colour = tree.colour(member);
        if ((colour & 0x80000000u) == 0) {
            const QString rgb = QStringLiteral("#%1%2%3")
                                    .arg(colour & 0xFF, 2, 16, QLatin1Char('0'))
                                    .arg((colour >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                    .arg((colour >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
            row.json[QStringLiteral("colour")] = rgb;
            row.cells << rgb;
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace corvel
