#pragma once

#include "groups/AddressListFile.h"
#include "groups/DynGrpParms.h"
#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

class GroupStore;
class OlNamespace;
class StatusPanels;

// The changes made to mail groups in the main tree, without any dialog: the window's
// commands and corvelctl both come here once they know what to do.
class GroupEditor
{
public:
    GroupEditor(TreeList &tree, const GroupStore &store, OlNamespace *session = nullptr,
                StatusPanels *panels = nullptr);

    [[nodiscard]] NodeHandle addStandardGroup(NodeHandle root, const QString &name);
    [[nodiscard]] NodeHandle addDynamicGroup(NodeHandle root, const DynGrpParms &parms);
    // The group of a group node or of a member; null for anything else.
    [[nodiscard]] NodeHandle groupOf(NodeHandle node) const;

    // A typed-in member; false (and nothing added) when a member of the group already has
    // that address.
    bool addTypedMember(NodeHandle group, const QString &name, const QString &address);
    void editTypedMember(NodeHandle member, const QString &name, const QString &address);

    // Copies the contact rows among `nodes` into a Standard Mail Group, skipping addresses
    // it holds already; returns the number added.
    int copyContacts(NodeHandle group, const std::vector<NodeHandle> &nodes);
    struct NewMember
    {
        int kind; // olType of the member
        QString entryId;
        QString fileAs;
        QString address;
    };
    // Adds the members whose addresses the group does not hold yet (nor an earlier one of
    // them), as copyContacts does; returns the number added.
    int addMembers(NodeHandle group, const std::vector<NewMember> &members);
    // Appends the entries as typed-in members, without looking for duplicates.
    void addEntries(NodeHandle group, const std::vector<AddressListFile::Entry> &entries);
    [[nodiscard]] std::vector<AddressListFile::Entry> entriesOf(NodeHandle node) const;

    // Removes the nodes (members) in one pass.
    void removeNodes(const std::vector<NodeHandle> &nodes);

    // Whether the session can open the folder.
    [[nodiscard]] bool FolderAvailable(const QString &entryId, const QString &storeId) const;
    // Replaces a Dynamic Mail Group's members by the contacts that fit now. Empty text on
    // success, else the caption (or, without one, the id) of the first folder that is not
    // available; nothing is changed then.
    [[nodiscard]] QString LoadDynamicGroup(NodeHandle group, const QString &loadedAt);

    // Looks a member up again; false when it stands for an item that cannot be found.
    bool VerifyMember(NodeHandle row);

    // The member grid and sort order of a group after members changed.
    void finishMembers(NodeHandle group);

private:
    void addMember(NodeHandle group, int kind, const QString &entryId, const QString &fileAs,
                   const QString &address);

    TreeList &m_tree;
    const GroupStore &m_store;
    OlNamespace *m_session;
    StatusPanels *m_panels;
};

} // namespace corvel
