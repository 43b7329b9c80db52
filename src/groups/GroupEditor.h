#pragma once

#include "groups/AddressListFile.h"
#include "groups/DynGrpParms.h"
#include "support/Result.h"
#include "tree/TreeList.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
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

    // A typed-in member, its name and address checked (MemberCheck). Refused, nothing added,
    // with the reason: a bad name or address, or one the group holds already (in any case).
    Status addTypedMember(NodeHandle group, const QString &name, const QString &address);
    Status editTypedMember(NodeHandle member, const QString &name, const QString &address);

    struct Copied
    {
        int added = 0;
        QStringList refused; // "name <address>: reason" of each contact left out
    };
    // Copies the contact rows among `nodes` into a Standard Mail Group, skipping addresses
    // it holds already (in any case) and contacts without an address; a contact whose address
    // is refused is named (ContactCopy, in one go).
    Copied copyContacts(NodeHandle group, const std::vector<NodeHandle> &nodes);
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
    struct Loaded
    {
        int added = 0;
        int alreadyHeld = 0;                                // of those added
        std::vector<std::pair<qsizetype, QString>> refused; // line, reason
        // "added N (M already in the group), refused K (line L: reason, ...)"
        [[nodiscard]] QString summary() const;
    };
    // Appends the entries as typed-in members, without looking for duplicates; an entry whose
    // name or address is refused is left out with its line (AddressListImport::build).
    Loaded addEntries(NodeHandle group, const std::vector<AddressListFile::Entry> &entries);
    // Adds members made away from the tree (MemberBranch) to a Standard Mail Group in one
    // step; refused when the group is gone.
    [[nodiscard]] Status attachMembers(NodeHandle group, TreeBranch &&members);
    [[nodiscard]] std::vector<AddressListFile::Entry> entriesOf(NodeHandle node) const;

    // Removes the nodes (members) in one pass.
    void removeNodes(const std::vector<NodeHandle> &nodes);

    // Replaces a Dynamic Mail Group's members by the contacts that fit now. Fails, nothing
    // changed, naming the first folder that is not available (its caption, else its id).
    [[nodiscard]] Status loadDynamicGroup(NodeHandle group, const QString &loadedAt);

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
