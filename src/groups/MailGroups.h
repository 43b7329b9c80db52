#pragma once

#include "groups/AddressListImport.h"
#include "groups/ContactCopy.h"
#include "groups/DynamicLoad.h"
#include "groups/GroupEditor.h"
#include "groups/MailGroup.h"
#include "groups/PublishedCard.h"
#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace corvel {

class GroupStore;
class OlNamespace;
class StatusPanels;
class TreeList;
struct NodeHandle;

// The one way to read and change mail groups, for the window and corvelctl alike. Groups
// are named by a GroupId (found by caption), never by where the window shows them. The
// values are a typed view over the main tree, which stays the groups' storage (see README,
// "How groups and the tree stay in step"). Every failure comes back with its reason and
// changes nothing.
class MailGroups
{
public:
    MailGroups(TreeList &tree, GroupStore &store, OlNamespace *session = nullptr,
               StatusPanels *panels = nullptr);

    // The group of that caption under either root; refused when none or several have it,
    // or, with `kind`, when it is not of that kind.
    [[nodiscard]] Result<GroupId> find(const QString &caption) const;
    [[nodiscard]] Result<GroupId> find(const QString &caption, MailGroup::Kind kind) const;
    [[nodiscard]] Result<MailGroup> group(GroupId id) const;
    // The number of members, without reading them; 0 for a group that no longer exists.
    [[nodiscard]] int memberCount(GroupId id) const;
    // Every group, Standard Mail Groups first, each in its root's order.
    [[nodiscard]] std::vector<MailGroup> all() const;

    // Where the window meets the groups: the group a node is or belongs to (a member's),
    // and the node that shows a group.
    [[nodiscard]] static Result<GroupId> idOf(const TreeList &tree, NodeHandle node);
    [[nodiscard]] Result<GroupId> idOf(NodeHandle node) const { return idOf(m_tree, node); }
    [[nodiscard]] NodeHandle nodeOf(GroupId id) const;

    // A contact folder a Dynamic Mail Group may draw on, by EntryID or caption path.
    [[nodiscard]] Result<DynamicDefinition::Folder> sourceFolder(const QString &folder) const;

    // A group's name: not empty (the rule of the name dialog).
    [[nodiscard]] Result<GroupId> createStandard(const QString &caption);
    [[nodiscard]] Result<GroupId> createDynamic(const QString &caption,
                                                const DynamicDefinition &definition);
    [[nodiscard]] Status rename(GroupId id, const QString &caption);
    // Changes a Dynamic Mail Group's folders and patterns; its members stay until loaded.
    [[nodiscard]] Status redefine(GroupId id, const DynamicDefinition &definition);
    [[nodiscard]] Status remove(GroupId id);
    // Leaves a Dynamic Mail Group without members until it is loaded again.
    [[nodiscard]] Status clearMembers(GroupId id);

    // Members typed in, of a Standard Mail Group; a member is named by its address.
    [[nodiscard]] Status addMember(GroupId id, const QString &name, const QString &address);
    // A member typed in gets a new name, address or both (nullopt: kept).
    [[nodiscard]] Status editMember(GroupId id, const QString &address,
                                    const std::optional<QString> &name,
                                    const std::optional<QString> &newAddress);
    [[nodiscard]] Status removeMember(GroupId id, const QString &address);
    // The window names members by the rows it shows: a typed-in member edited, the members
    // among `nodes` removed (not those of a Dynamic Mail Group, which its loads decide),
    // members looked up again.
    [[nodiscard]] Status editMember(NodeHandle member, const QString &name, const QString &address);
    int removeMembers(const std::vector<NodeHandle> &nodes); // how many were removed
    void verifyMembers(const std::vector<NodeHandle> &nodes);

    // Copies contacts into a Standard Mail Group as GroupEditor::copyContacts does: those of
    // `folder` (an EntryID or a caption path) with the given EntryIDs, all when none are
    // given; an id no contact has copies nothing.
    [[nodiscard]] Result<GroupEditor::Copied> copyContacts(GroupId id, const QString &folder,
                                                           const QStringList &entryIds);
    // The contact rows selected in the tree.
    [[nodiscard]] Result<GroupEditor::Copied> copySelectedContacts(GroupId id);
    // The same copy in steps, for a window that makes the members off its event loop
    // (ContactCopy::build between the two).
    [[nodiscard]] Result<ContactCopy::Plan> planCopy(GroupId id,
                                                     const std::vector<NodeHandle> &nodes) const;
    [[nodiscard]] Result<GroupEditor::Copied> applyCopy(NodeHandle group,
                                                        ContactCopy::Built &&built);

    // Loads a Dynamic Mail Group afresh; returns its member count. Refused, nothing changed,
    // when one of its folders is not available.
    [[nodiscard]] Result<int> load(GroupId id, const QString &loadedAt);
    // The same load in steps, for a window that reads the members off its event loop
    // (DynamicLoad::readMembers between the two).
    [[nodiscard]] Result<DynamicLoad::Plan> planLoad(GroupId id) const;
    [[nodiscard]] Result<int> applyLoad(NodeHandle group, TreeBranch &&members,
                                        const QString &loadedAt);
    // Looks each member up again; returns the members as they now are.
    [[nodiscard]] Result<std::vector<GroupMember>> verify(GroupId id);

    // Address list files: members typed in from one, all members written to one.
    [[nodiscard]] Result<GroupEditor::Loaded> importList(GroupId id, const QString &path);
    // The import in steps (AddressListImport::read between the two).
    [[nodiscard]] Result<AddressListImport::Plan> planImport(GroupId id, const QString &path) const;
    [[nodiscard]] Result<GroupEditor::Loaded> applyImport(NodeHandle group,
                                                          AddressListImport::Built &&built);
    [[nodiscard]] Status exportList(GroupId id, const QString &path) const;
    // Standard Mail Groups from the group cards of a contact folder (an EntryID or a
    // caption path); returns the members left out.
    [[nodiscard]] Result<QStringList> importGroupCards(const QString &folder);
    [[nodiscard]] Result<QStringList> importGroupCards(NodeHandle folder);

    // Where a Standard Mail Group was published as a group card; empty when never. Kept on
    // the group's node only once it is published, so other groups' file stays as it was.
    [[nodiscard]] Result<PublishedCard> publishedCard(GroupId id) const;
    [[nodiscard]] Status setPublishedCard(GroupId id, const PublishedCard &card);

private:
    [[nodiscard]] Result<NodeHandle> nodeOf(GroupId id, MailGroup::Kind kind) const;
    [[nodiscard]] Result<NodeHandle> contactFolder(const QString &folder) const;
    [[nodiscard]] NodeHandle memberOf(NodeHandle group, const QString &address) const;
    [[nodiscard]] GroupEditor editor() const;

    TreeList &m_tree;
    GroupStore &m_store;
    OlNamespace *m_session;
    StatusPanels *m_panels;
};

} // namespace corvel
