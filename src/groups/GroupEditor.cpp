#include "groups/GroupEditor.h"

#include "groups/AddressListImport.h"
#include "groups/ContactCopy.h"
#include "groups/DynamicLoad.h"
#include "groups/GroupStore.h"
#include "groups/HeldAddresses.h"
#include "groups/MemberCheck.h"
#include "session/OutlookSession.h"
#include "support/FieldStrings.h"
#include "support/GuidLib.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <QHash>
#include <QStringList>

#include <QSet>
#include <functional>

#include <utility>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString text(const TreeList &tree, NodeHandle node, const QString &name)
{
    return tree.value(node, name).toString();
}

} // namespace

GroupEditor::GroupEditor(TreeList &tree, const GroupStore &store, OlNamespace *session,
                         StatusPanels *panels)
    : m_tree(tree)
    , m_store(store)
    , m_session(session)
    , m_panels(panels)
{
}

NodeHandle GroupEditor::addStandardGroup(NodeHandle root, const QString &name)
{
    const NodeHandle group = m_tree.addNode(name, root);
    m_tree.setPicture(group, picStandardGroup);
    setNodeKind(m_tree, group, NodeKind::StandardGroup);
    m_tree.setChildOrder(m_tree.parent(root), ChildOrder::Natural);
    return group;
}

NodeHandle GroupEditor::addDynamicGroup(NodeHandle root, const DynGrpParms &parms)
{
    const NodeHandle group = m_tree.addNode(parms.name, root);
    m_tree.setPicture(group, picDynamicGroup);
    m_tree.setValue(group, NodeValueName::GUID(), NewGroupGuid());
    setNodeKind(m_tree, group, NodeKind::DynamicGroup);
    m_tree.setValue(group, NodeValueName::InCats(), parms.categories);
    m_tree.setValue(group, NodeValueName::EntryIds(), parms.entryIds);
    m_tree.setValue(group, NodeValueName::StoreIds(), parms.storeIds);
    m_tree.setValue(group, NodeValueName::FolderNames(), parms.folderNames);
    m_tree.setChildOrder(m_tree.parent(root), ChildOrder::Natural);
    return group;
}

void GroupEditor::addMember(NodeHandle group, int kind, const QString &entryId,
                            const QString &fileAs, const QString &address)
{
    const NodeHandle member = m_tree.addNode(QString(), group);
    m_tree.setValue(member, NodeValueName::olType(), kind);
    m_tree.setValue(member, NodeValueName::EntryId(), entryId);
    m_tree.setValue(member, NodeValueName::FileAs(), fileAs);
    m_tree.setValue(member, NodeValueName::Email1Address(), address);
    if (kind == static_cast<int>(NodeKind::TypedMember))
        m_tree.setColour(member, NodeColour::DarkBlue);
}

namespace {

// A typed-in member's name and address as they may be stored, or why they may not.
Result<std::pair<QString, QString>> typedMember(const QString &name, const QString &address)
{
    using R = Result<std::pair<QString, QString>>;
    const Result<QString> checkedName = MemberCheck::name(name);
    if (!checkedName.ok())
        return R::failure(checkedName.error());
    const Result<QString> checked = MemberCheck::address(address);
    if (!checked.ok())
        return R::failure(address + u": "_s + checked.error());
    return std::pair{*checkedName, *checked};
}

} // namespace

Status GroupEditor::addTypedMember(NodeHandle group, const QString &name, const QString &address)
{
    const auto typed = typedMember(name, address);
    if (!typed.ok())
        return Status::failure(typed.error());
    const auto &[checkedName, checked] = *typed;
    if (HeldAddresses::of(m_tree, group).contains(checked))
        return Status::failure(checked + u" already exists on file"_s);
    if (!m_tree.hasChildren(group))
        m_store.setupGroupGrid(m_tree, group);
    addMember(group, static_cast<int>(NodeKind::TypedMember), QString(), checkedName, checked);
    finishMembers(group);
    return {};
}

Status GroupEditor::editTypedMember(NodeHandle member, const QString &name, const QString &address)
{
    const auto typed = typedMember(name, address);
    if (!typed.ok())
        return Status::failure(typed.error());
    m_tree.setValue(member, NodeValueName::FileAs(), typed->first);
    m_tree.setValue(member, NodeValueName::Email1Address(), typed->second);
    finishMembers(m_tree.parent(member));
    return {};
}

GroupEditor::Copied GroupEditor::copyContacts(NodeHandle group,
                                              const std::vector<NodeHandle> &nodes)
{
    ContactCopy::Built built = ContactCopy::build(ContactCopy::plan(m_tree, group, nodes), nullptr);
    (void)attachMembers(group, std::move(built.members));
    return built.copied;
}

int GroupEditor::addMembers(NodeHandle group, const std::vector<NewMember> &members)
{
    if (!m_tree.hasChildren(group))
        m_store.setupGroupGrid(m_tree, group);
    HeldAddresses addresses = HeldAddresses::of(m_tree, group);
    int added = 0;
    for (const NewMember &member : members) {
        if (!addresses.insert(member.address))
            continue;
        addMember(group, member.kind, member.entryId, member.fileAs, member.address);
        ++added;
    }
    finishMembers(group);
    return added;
}

QString GroupEditor::Loaded::summary() const
{
    QString text = u"added %1 (%2 already in the group), refused %3"_s.arg(added)
                       .arg(alreadyHeld)
                       .arg(refused.size());
    // The first few say what is wrong; the file says the rest.
    constexpr size_t shown = 5;
    QStringList lines;
    for (size_t i = 0; i < refused.size() && i < shown; ++i)
        lines.append(u"line %1: %2"_s.arg(refused[i].first).arg(refused[i].second));
    if (refused.size() > shown)
        lines.append(u"…"_s);
    if (!lines.isEmpty())
        text += u" ("_s + lines.join(u", "_s) + u')';
    return text;
}

GroupEditor::Loaded GroupEditor::addEntries(NodeHandle group,
                                            const std::vector<AddressListFile::Entry> &entries)
{
    AddressListImport::Built built =
        AddressListImport::build(entries, HeldAddresses::of(m_tree, group), nullptr);
    (void)attachMembers(group, std::move(built.members));
    return built.loaded;
}

Status GroupEditor::attachMembers(NodeHandle group, TreeBranch &&members)
{
    if (!m_tree.isValid(group) || nodeKind(m_tree, group) != NodeKind::StandardGroup)
        return Status::failure(u"that mail group no longer exists"_s);
    const bool wasEmpty = !m_tree.hasChildren(group);
    if (wasEmpty)
        m_store.setupGroupGrid(m_tree, group);
    if (!members.isEmpty())
        m_tree.insertBranch(std::move(members), group);
    finishMembers(group);
    // They come in the group's order, so alone there they are not compared again; among
    // others the tree sorts them in.
    if (wasEmpty)
        m_tree.markChildrenInOrder(group);
    return {};
}

std::vector<AddressListFile::Entry> GroupEditor::entriesOf(NodeHandle node) const
{
    std::vector<AddressListFile::Entry> entries;
    // Display order of the descendants: for a group, its members in their order.
    const int first = m_tree.indexOf(node) + 1;
    const int n = m_tree.descendantCount(node);
    entries.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const NodeHandle row = m_tree.at(first + i);
        entries.push_back({text(m_tree, row, NodeValueName::Email1Address()),
                           text(m_tree, row, NodeValueName::FileAs())});
    }
    return entries;
}

void GroupEditor::removeNodes(const std::vector<NodeHandle> &nodes)
{
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
        m_tree.remove(*it);
}

Status GroupEditor::loadDynamicGroup(NodeHandle group, const QString &loadedAt)
{
    const DynamicLoad::Plan plan = DynamicLoad::plan(m_tree, group);
    DynamicLoad::announce(m_panels);
    Result<TreeBranch> members = DynamicLoad::readMembers(m_session, plan, m_panels);
    const Status loaded =
        members.ok() ? DynamicLoad::apply(m_tree, m_store, group, std::move(*members), loadedAt)
                     : Status::failure(members.error());
    if (m_panels) {
        m_panels->updateCaption(StatusPanels::CountPanel, QString());
        m_panels->updateCaption(StatusPanels::ActivityPanel, QString());
    }
    return loaded;
}

void GroupEditor::finishMembers(NodeHandle group)
{
    ColumnLayout layout = m_tree.columnLayout(group);
    if (layout.columns.size() >= 3) {
        layout.columns[1].boundValue = NodeValueName::FileAs();
        layout.columns[2].boundValue = NodeValueName::Email1Address();
        m_tree.setColumnLayout(group, layout);
    }
    m_tree.setChildOrder(group, ChildOrder::ByValue, NodeValueName::FileAs());
}

} // namespace corvel
