#include "groups/MailGroups.h"

#include "folders/FolderLookup.h"
#include "folders/ItemLists.h"
#include "groups/AddressBookGroupImport.h"
#include "groups/GetNameForm.h"
#include "groups/GroupStore.h"
#include "groups/MemberVerification.h"
#include "support/FieldStrings.h"
#include "tree/NodeKinds.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

NodeHandle handleOf(GroupId id)
{
    return {id.slot, id.generation};
}

GroupId idOfNode(NodeHandle node)
{
    return {node.slot, node.generation};
}

QString text(const TreeList &tree, NodeHandle node, const QString &name)
{
    return tree.value(node, name).toString();
}

NodeKind kindOf(MailGroup::Kind kind)
{
    return kind == MailGroup::Kind::Standard ? NodeKind::StandardGroup : NodeKind::DynamicGroup;
}

bool isMemberKind(NodeKind kind)
{
    return kind == NodeKind::DynamicMember || kind == NodeKind::CopiedMember ||
           kind == NodeKind::MailItemMember || kind == NodeKind::TypedMember;
}

GroupMember::Origin originOf(NodeKind kind)
{
    switch (kind) {
    case NodeKind::CopiedMember:
        return GroupMember::Origin::Copied;
    case NodeKind::DynamicMember:
        return GroupMember::Origin::Loaded;
    case NodeKind::MailItemMember:
        return GroupMember::Origin::MailItem;
    default:
        return GroupMember::Origin::TypedIn;
    }
}

GroupMember memberAt(const TreeList &tree, NodeHandle node)
{
    GroupMember member;
    member.name = text(tree, node, NodeValueName::FileAs());
    member.address = text(tree, node, NodeValueName::Email1Address());
    member.origin = originOf(nodeKind(tree, node));
    member.entryId = text(tree, node, NodeValueName::EntryId());
    member.state = tree.colour(node) == NodeColour::DarkRed ? GroupMember::State::Missing
                                                            : GroupMember::State::Verified;
    return member;
}

DynamicDefinition definitionAt(const TreeList &tree, NodeHandle group)
{
    DynGrpParms parms;
    parms.categories = text(tree, group, NodeValueName::InCats());
    parms.entryIds = text(tree, group, NodeValueName::EntryIds());
    parms.storeIds = text(tree, group, NodeValueName::StoreIds());
    parms.folderNames = text(tree, group, NodeValueName::FolderNames());
    DynamicDefinition definition = parms.definition();
    definition.lastLoaded = text(tree, group, NodeValueName::LastLoaded());
    return definition;
}

Status nameRefused(const QString &caption)
{
    return GetNameForm::acceptable(caption) ? Status()
                                            : Status::failure(u"a mail group needs a name"_s);
}

} // namespace

MailGroups::MailGroups(TreeList &tree, GroupStore &store, OlNamespace *session,
                       StatusPanels *panels)
    : m_tree(tree)
    , m_store(store)
    , m_session(session)
    , m_panels(panels)
{
}

GroupEditor MailGroups::editor() const
{
    return GroupEditor(m_tree, m_store, m_session, m_panels);
}

Result<GroupId> MailGroups::find(const QString &caption) const
{
    const Result<NodeHandle> found = GroupStore::groupNamed(m_tree, caption);
    if (!found.ok())
        return Result<GroupId>::failure(found.error());
    return idOfNode(*found);
}

Result<GroupId> MailGroups::find(const QString &caption, MailGroup::Kind kind) const
{
    const Result<GroupId> found = find(caption);
    if (!found.ok() || nodeKind(m_tree, handleOf(*found)) == kindOf(kind))
        return found;
    return Result<GroupId>::failure(kind == MailGroup::Kind::Standard
                                        ? u"\"%1\" is not a Standard Mail Group"_s.arg(caption)
                                        : u"\"%1\" is not a Dynamic Mail Group"_s.arg(caption));
}

Result<NodeHandle> MailGroups::nodeOf(GroupId id, MailGroup::Kind kind) const
{
    const NodeHandle node = nodeOf(id);
    if (!node)
        return Result<NodeHandle>::failure(u"that mail group no longer exists"_s);
    if (nodeKind(m_tree, node) != kindOf(kind))
        return Result<NodeHandle>::failure(
            kind == MailGroup::Kind::Standard
                ? u"\"%1\" is not a Standard Mail Group"_s.arg(m_tree.caption(node))
                : u"\"%1\" is not a Dynamic Mail Group"_s.arg(m_tree.caption(node)));
    return node;
}

NodeHandle MailGroups::nodeOf(GroupId id) const
{
    const NodeHandle node = handleOf(id);
    if (!m_tree.isValid(node))
        return {};
    const NodeKind kind = nodeKind(m_tree, node);
    return kind == NodeKind::StandardGroup || kind == NodeKind::DynamicGroup ? node : NodeHandle();
}

Result<GroupId> MailGroups::idOf(const TreeList &tree, NodeHandle node)
{
    NodeHandle group = tree.isValid(node) ? node : NodeHandle();
    if (group && isMemberKind(nodeKind(tree, group)))
        group = tree.parent(group);
    const NodeKind kind = nodeKind(tree, group);
    if (!group || (kind != NodeKind::StandardGroup && kind != NodeKind::DynamicGroup))
        return Result<GroupId>::failure(u"not a mail group nor one of its members"_s);
    return idOfNode(group);
}

Result<MailGroup> MailGroups::group(GroupId id) const
{
    const NodeHandle node = nodeOf(id);
    if (!node)
        return Result<MailGroup>::failure(u"that mail group no longer exists"_s);
    MailGroup group;
    group.id = id;
    group.caption = m_tree.caption(node);
    if (nodeKind(m_tree, node) == NodeKind::DynamicGroup) {
        group.kind = MailGroup::Kind::Dynamic;
        group.definition = definitionAt(m_tree, node);
    }
    group.members.reserve(static_cast<size_t>(m_tree.childCount(node)));
    for (NodeHandle member = m_tree.firstChild(node); member; member = m_tree.nextSibling(member))
        group.members.push_back(memberAt(m_tree, member));
    return group;
}

int MailGroups::memberCount(GroupId id) const
{
    const NodeHandle node = nodeOf(id);
    return node ? m_tree.childCount(node) : 0;
}

std::vector<MailGroup> MailGroups::all() const
{
    std::vector<MailGroup> groups;
    for (const NodeKind root : {NodeKind::StandardRoot, NodeKind::DynamicRoot}) {
        const NodeHandle node = findNodeOfKind(m_tree, root);
        if (!node)
            continue;
        for (const NodeHandle group : m_tree.children(node))
            if (Result<MailGroup> found = this->group(idOfNode(group)); found.ok())
                groups.push_back(std::move(*found));
    }
    return groups;
}

Result<GroupId> MailGroups::createStandard(const QString &caption)
{
    if (Status refused = nameRefused(caption); !refused.ok())
        return Result<GroupId>::failure(refused.error());
    const NodeHandle root = findNodeOfKind(m_tree, NodeKind::StandardRoot);
    if (!root)
        return Result<GroupId>::failure(u"there is no Standard Mail Groups root"_s);
    return idOfNode(editor().addStandardGroup(root, caption));
}

Result<GroupId> MailGroups::createDynamic(const QString &caption,
                                          const DynamicDefinition &definition)
{
    if (Status refused = nameRefused(caption); !refused.ok())
        return Result<GroupId>::failure(refused.error());
    const NodeHandle root = findNodeOfKind(m_tree, NodeKind::DynamicRoot);
    if (!root)
        return Result<GroupId>::failure(u"there is no Dynamic Mail Groups root"_s);
    return idOfNode(editor().addDynamicGroup(root, DynGrpParms::of(caption, definition)));
}

Status MailGroups::rename(GroupId id, const QString &caption)
{
    const NodeHandle node = nodeOf(id);
    if (!node)
        return Status::failure(u"that mail group no longer exists"_s);
    if (Status refused = nameRefused(caption); !refused.ok())
        return refused;
    m_tree.setCaption(node, caption);
    m_tree.setChildOrder(m_tree.parent(node), ChildOrder::Natural);
    return {};
}

Status MailGroups::redefine(GroupId id, const DynamicDefinition &definition)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Dynamic);
    if (!node.ok())
        return Status::failure(node.error());
    const DynGrpParms parms = DynGrpParms::of(QString(), definition);
    m_tree.setValue(*node, NodeValueName::InCats(), parms.categories);
    m_tree.setValue(*node, NodeValueName::EntryIds(), parms.entryIds);
    m_tree.setValue(*node, NodeValueName::StoreIds(), parms.storeIds);
    m_tree.setValue(*node, NodeValueName::FolderNames(), parms.folderNames);
    return {};
}

Status MailGroups::remove(GroupId id)
{
    const NodeHandle node = nodeOf(id);
    if (!node)
        return Status::failure(u"that mail group no longer exists"_s);
    m_tree.remove(node);
    return {};
}

Status MailGroups::clearMembers(GroupId id)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Dynamic);
    if (!node.ok())
        return Status::failure(node.error());
    m_tree.removeDescendants(*node);
    return {};
}

NodeHandle MailGroups::memberOf(NodeHandle group, const QString &address) const
{
    for (NodeHandle m = m_tree.firstChild(group); m; m = m_tree.nextSibling(m)) {
        if (text(m_tree, m, NodeValueName::Email1Address()) == address)
            return m;
    }
    return {};
}

Status MailGroups::addMember(GroupId id, const QString &name, const QString &address)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Standard);
    if (!node.ok())
        return Status::failure(node.error());
    return editor().addTypedMember(*node, name, address);
}

Status MailGroups::editMember(GroupId id, const QString &address,
                              const std::optional<QString> &name,
                              const std::optional<QString> &newAddress)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Standard);
    if (!node.ok())
        return Status::failure(node.error());
    const NodeHandle member = memberOf(*node, address);
    if (!member)
        return Status::failure(u"\"%1\" has no member %2"_s.arg(m_tree.caption(*node), address));
    if (nodeKind(m_tree, member) != NodeKind::TypedMember)
        return Status::failure(u"%1 was copied from a contact: edit the contact"_s.arg(address));
    return editor().editTypedMember(member,
                                    name.value_or(text(m_tree, member, NodeValueName::FileAs())),
                                    newAddress.value_or(address));
}

Status MailGroups::removeMember(GroupId id, const QString &address)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Standard);
    if (!node.ok())
        return Status::failure(node.error());
    const NodeHandle member = memberOf(*node, address);
    if (!member)
        return Status::failure(u"\"%1\" has no member %2"_s.arg(m_tree.caption(*node), address));
    editor().removeNodes({member});
    return {};
}

Status MailGroups::editMember(NodeHandle member, const QString &name, const QString &address)
{
    if (!m_tree.isValid(member) || nodeKind(m_tree, member) != NodeKind::TypedMember)
        return Status::failure(u"only a member typed in can be edited: edit the contact"_s);
    return editor().editTypedMember(member, name, address);
}

int MailGroups::removeMembers(const std::vector<NodeHandle> &nodes)
{
    std::vector<NodeHandle> doomed;
    for (const NodeHandle node : nodes) {
        const NodeKind kind = nodeKind(m_tree, node);
        if (kind == NodeKind::CopiedMember || kind == NodeKind::MailItemMember ||
            kind == NodeKind::TypedMember)
            doomed.push_back(node);
    }
    editor().removeNodes(doomed);
    return static_cast<int>(doomed.size());
}

void MailGroups::verifyMembers(const std::vector<NodeHandle> &nodes)
{
    (void)MemberVerification::apply(
        m_tree,
        MemberVerification::lookUp(m_session, MemberVerification::plan(m_tree, nodes), m_panels));
}

Result<NodeHandle> MailGroups::contactFolder(const QString &folder) const
{
    const NodeHandle node = findFolder(m_tree, folder);
    if (!node || !isContactFolder(nodeKind(m_tree, node)))
        return Result<NodeHandle>::failure(u"there is no contact folder \"%1\""_s.arg(folder));
    return node;
}

Result<DynamicDefinition::Folder> MailGroups::sourceFolder(const QString &folder) const
{
    const NodeHandle node = findFolder(m_tree, folder);
    const NodeKind kind = nodeKind(m_tree, node);
    // A listing is where a folder's rows are shown, not a folder to draw on.
    if (!node || (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed))
        return Result<DynamicDefinition::Folder>::failure(
            u"there is no contact folder \"%1\""_s.arg(folder));
    return DynamicDefinition::Folder{text(m_tree, node, NodeValueName::EntryId()),
                                     text(m_tree, node, NodeValueName::StoreId()),
                                     m_tree.caption(node)};
}

Result<GroupEditor::Copied> MailGroups::copyContacts(GroupId id, const QString &folder,
                                                     const QStringList &entryIds)
{
    using R = Result<GroupEditor::Copied>;
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Standard);
    if (!group.ok())
        return R::failure(group.error());
    const Result<NodeHandle> found = contactFolder(folder);
    if (!found.ok())
        return R::failure(found.error());
    if (!m_session)
        return R::failure(u"no mail session is open"_s);
    ItemLists lists(m_tree, *m_session, m_store.columnSets());
    const NodeHandle holder = lists.rowsHolder(*found);
    if (const Status listed = lists.loadContacts(holder); !listed.ok())
        return R::failure(listed.error());
    QSet<QString> unmatched(entryIds.begin(), entryIds.end());
    const bool all = unmatched.isEmpty();
    std::vector<NodeHandle> rows;
    for (const NodeHandle row : m_tree.children(lists.rowsHolder(holder))) {
        if (all || unmatched.remove(text(m_tree, row, NodeValueName::EntryId())))
            rows.push_back(row);
    }
    // A mistyped id copies nothing rather than some of what was meant.
    if (!unmatched.isEmpty()) {
        QStringList ids(unmatched.begin(), unmatched.end());
        ids.sort();
        return R::failure(u"no contact of \"%1\" has the id %2"_s.arg(folder, ids.join(u", "_s)));
    }
    return editor().copyContacts(*group, rows);
}

Result<GroupEditor::Copied> MailGroups::copySelectedContacts(GroupId id)
{
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Standard);
    if (!group.ok())
        return Result<GroupEditor::Copied>::failure(group.error());
    return editor().copyContacts(*group, m_tree.selectedNodes());
}

Result<ContactCopy::Plan> MailGroups::planCopy(GroupId id,
                                               const std::vector<NodeHandle> &nodes) const
{
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Standard);
    if (!group.ok())
        return Result<ContactCopy::Plan>::failure(group.error());
    return ContactCopy::plan(m_tree, *group, nodes);
}

Result<GroupEditor::Copied> MailGroups::applyCopy(NodeHandle group, ContactCopy::Built &&built)
{
    return ContactCopy::apply(m_tree, m_store, group, std::move(built));
}

Result<int> MailGroups::load(GroupId id, const QString &loadedAt)
{
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Dynamic);
    if (!group.ok())
        return Result<int>::failure(group.error());
    if (const Status loaded = editor().loadDynamicGroup(*group, loadedAt); !loaded.ok())
        return Result<int>::failure(loaded.error());
    return m_tree.childCount(*group);
}

Result<DynamicLoad::Plan> MailGroups::planLoad(GroupId id) const
{
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Dynamic);
    if (!group.ok())
        return Result<DynamicLoad::Plan>::failure(group.error());
    return DynamicLoad::plan(m_tree, *group);
}

Result<int> MailGroups::applyLoad(NodeHandle group, TreeBranch &&members, const QString &loadedAt)
{
    if (const Status applied =
            DynamicLoad::apply(m_tree, m_store, group, std::move(members), loadedAt);
        !applied.ok())
        return Result<int>::failure(applied.error());
    return m_tree.childCount(group);
}

Result<std::vector<GroupMember>> MailGroups::verify(GroupId id)
{
    const NodeHandle group = nodeOf(id);
    if (!group)
        return Result<std::vector<GroupMember>>::failure(u"that mail group no longer exists"_s);
    // A refreshed name moves its member in the group's order: the members are taken before
    // any changes, so each is visited once.
    const std::vector<NodeHandle> nodes = m_tree.children(group);
    verifyMembers(nodes);
    std::vector<GroupMember> members;
    members.reserve(nodes.size());
    for (const NodeHandle member : nodes)
        members.push_back(memberAt(m_tree, member));
    return members;
}

Result<GroupEditor::Loaded> MailGroups::importList(GroupId id, const QString &path)
{
    using R = Result<GroupEditor::Loaded>;
    Result<AddressListImport::Plan> plan = planImport(id, path);
    if (!plan.ok())
        return R::failure(plan.error());
    const NodeHandle group = plan->group;
    Result<AddressListImport::Built> built = AddressListImport::read(std::move(*plan), nullptr);
    if (!built.ok())
        return R::failure(built.error());
    return applyImport(group, std::move(*built));
}

Result<AddressListImport::Plan> MailGroups::planImport(GroupId id, const QString &path) const
{
    const Result<NodeHandle> group = nodeOf(id, MailGroup::Kind::Standard);
    if (!group.ok())
        return Result<AddressListImport::Plan>::failure(group.error());
    return AddressListImport::plan(m_tree, *group, path);
}

Result<GroupEditor::Loaded> MailGroups::applyImport(NodeHandle group,
                                                    AddressListImport::Built &&built)
{
    return AddressListImport::apply(m_tree, m_store, group, std::move(built));
}

Status MailGroups::exportList(GroupId id, const QString &path) const
{
    const NodeHandle group = nodeOf(id);
    if (!group)
        return Status::failure(u"that mail group no longer exists"_s);
    return AddressListFile::write(path, editor().entriesOf(group));
}

Result<QStringList> MailGroups::importGroupCards(const QString &folder)
{
    const Result<NodeHandle> found = contactFolder(folder);
    if (!found.ok())
        return Result<QStringList>::failure(found.error());
    return importGroupCards(*found);
}

Result<QStringList> MailGroups::importGroupCards(NodeHandle folder)
{
    if (!m_session)
        return Result<QStringList>::failure(u"no mail session is open"_s);
    GroupEditor ed = editor();
    return AddressBookGroupImport(m_tree, ed)
        .runFolder(*m_session, folder, findNodeOfKind(m_tree, NodeKind::StandardRoot));
}

Result<PublishedCard> MailGroups::publishedCard(GroupId id) const
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Standard);
    if (!node.ok())
        return Result<PublishedCard>::failure(node.error());
    return PublishedCard{text(m_tree, *node, NodeValueName::CardUID()),
                         text(m_tree, *node, NodeValueName::CardFolder()),
                         text(m_tree, *node, NodeValueName::CardTag())};
}

Status MailGroups::setPublishedCard(GroupId id, const PublishedCard &card)
{
    const Result<NodeHandle> node = nodeOf(id, MailGroup::Kind::Standard);
    if (!node.ok())
        return Status::failure(node.error());
    m_tree.setValue(*node, NodeValueName::CardUID(), card.uid);
    m_tree.setValue(*node, NodeValueName::CardFolder(), card.folder);
    m_tree.setValue(*node, NodeValueName::CardTag(), card.tag);
    return {};
}

} // namespace corvel
