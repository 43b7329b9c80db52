#include "merge/MemberSelection.h"

#include "folders/FolderLookup.h"
#include "groups/GroupStore.h"
#include "session/OutlookSession.h"
#include "tree/NodeKinds.h"

#include <QCryptographicHash>

namespace corvel {

namespace {

MailMember memberOf(const TreeList &tree, NodeHandle row)
{
    QString name = tree.value(row, NodeValueName::FileAs()).toString();
    if (name.isEmpty())
        name = tree.caption(row);
    return {name, tree.value(row, NodeValueName::Email1Address()).toString().trimmed(),
            tree.value(row, NodeValueName::EntryId()).toString()};
}

bool isListModeKind(NodeKind kind)
{
    return kind == NodeKind::ContactFolderListed || kind == NodeKind::StandardGroup ||
           kind == NodeKind::DynamicGroup;
}

QString pathOf(const TreeList &tree, NodeHandle node)
{
    QStringList parts;
    for (NodeHandle at = node; at; at = tree.parent(at))
        parts.prepend(tree.caption(at));
    return parts.join(u'/');
}

void collectSubTree(const TreeList &tree, NodeHandle node, std::vector<MailMember> &into)
{
    // Depth first in display order, without recursion: groups may be deep.
    std::vector<NodeHandle> stack;
    for (NodeHandle child = tree.firstChild(node); child; child = tree.nextSibling(child))
        stack.push_back(child);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        const NodeHandle row = stack.back();
        stack.pop_back();
        into.push_back(memberOf(tree, row));
        std::vector<NodeHandle> children;
        for (NodeHandle child = tree.firstChild(row); child; child = tree.nextSibling(child))
            children.push_back(child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

} // namespace

MemberSelection MemberSelection::ofGroup(const TreeList &tree, NodeHandle group)
{
    MemberSelection selection;
    selection.mode = Mode::List;
    selection.group = group;
    const QString guid = tree.value(group, NodeValueName::GUID()).toString();
    selection.key = guid.isEmpty() ? QStringLiteral("group:") + pathOf(tree, group)
                                   : QStringLiteral("group:") + guid;
    collectSubTree(tree, group, selection.members);
    return selection;
}

Result<MemberSelection> MemberSelection::named(const TreeList &tree, OlNamespace &session,
                                               const QString &argument)
{
    using R = Result<MemberSelection>;
    if (!GroupStore::groupsNamed(tree, argument).empty()) {
        const Result<NodeHandle> group = GroupStore::groupNamed(tree, argument);
        if (!group.ok())
            return R::failure(group.error());
        return ofGroup(tree, *group);
    }
    const NodeHandle folderNode = findFolder(tree, argument);
    if (!folderNode || !isContactFolder(nodeKind(tree, folderNode)))
        return R::failure(
            QStringLiteral("there is no mail group or contact folder \"%1\"").arg(argument));
    const auto folder =
        session.GetFolderFromID(tree.value(folderNode, NodeValueName::EntryId()).toString(),
                                tree.value(folderNode, NodeValueName::StoreId()).toString());
    MemberSelection selection;
    selection.mode = Mode::List;
    selection.key = QStringLiteral("folder:") + folder->StoreID() + u'/' + folder->EntryID();
    for (const auto &item : folder->Items())
        if (item->Class() == olContactItem)
            selection.members.push_back({item->FileAs(), item->Email1Address().trimmed()});
    return selection;
}

MemberSelection MemberSelection::combined(const std::vector<MemberSelection> &groups)
{
    if (groups.size() == 1)
        return groups.front();
    MemberSelection selection;
    selection.mode = Mode::List;
    QStringList keys;
    for (const MemberSelection &group : groups) {
        if (keys.contains(group.key))
            continue; // a group named twice is mailed once
        keys.append(group.key);
        selection.members.insert(selection.members.end(), group.members.begin(),
                                 group.members.end());
    }
    if (keys.size() == 1)
        return groups.front();
    keys.sort();
    selection.key = QStringLiteral("groups:") + keys.join(u'\n');
    return selection;
}

MemberSelection MemberSelection::fromTree(const TreeList &tree)
{
    std::vector<MemberSelection> groups;
    for (int i = 0; i < tree.selectedCount(); ++i) {
        const NodeHandle row = tree.selected(i);
        if (!isListModeKind(nodeKind(tree, row)))
            break;
        groups.push_back(ofGroup(tree, row));
    }
    if (!groups.empty() && static_cast<int>(groups.size()) == tree.selectedCount())
        return combined(groups);
    MemberSelection selection;
    QCryptographicHash rows(QCryptographicHash::Sha256);
    for (int i = 0; i < tree.selectedCount(); ++i) {
        const MailMember member = memberOf(tree, tree.selected(i));
        rows.addData(member.address.toLower().toUtf8());
        rows.addData(QByteArrayView("\n"));
        selection.members.push_back(member);
    }
    selection.key = QStringLiteral("rows:") + QString::fromLatin1(rows.result().toHex());
    return selection;
}

MemberSelection::Summary MemberSelection::summarize(const TreeList &tree)
{
    if (tree.selectedCount() > 1) {
        const NodeHandle group = tree.parent(tree.selected(0));
        return {tree.selectedCount(), group ? tree.caption(group) : QString()};
    }
    if (tree.selectedCount() == 1) {
        const NodeHandle row = tree.selected(0);
        const NodeKind kind = nodeKind(tree, row);
        if (kind == NodeKind::StandardGroup || kind == NodeKind::DynamicGroup)
            return {tree.descendantCount(row), tree.caption(row)};
        const NodeHandle group = tree.parent(row);
        return {1, group ? tree.caption(group) : QString()};
    }
    const NodeHandle current = tree.current();
    if (!current)
        return {};
    return {tree.descendantCount(current), tree.caption(current)};
}

} // namespace corvel
