#include "groups/AddressBookGroupImport.h"

#include "groups/GroupEditor.h"
#include "groups/MemberCheck.h"
#include "session/OutlookSession.h"
#include "tree/NodeKinds.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr QStringView UuidScheme = u"urn:uuid:";
constexpr QStringView MailScheme = u"mailto:";

} // namespace

AddressBookGroupImport::AddressBookGroupImport(TreeList &tree, GroupEditor &editor)
    : m_tree(tree)
    , m_editor(editor)
{
}

NodeHandle AddressBookGroupImport::groupNamed(NodeHandle standardRoot, const QString &caption)
{
    for (const NodeHandle group : m_tree.children(standardRoot)) {
        if (nodeKind(m_tree, group) == NodeKind::StandardGroup && m_tree.caption(group) == caption)
            return group;
    }
    return m_editor.addStandardGroup(standardRoot, caption);
}

Result<QStringList> AddressBookGroupImport::runFolder(OlNamespace &session, NodeHandle folderNode,
                                                      NodeHandle standardRoot)
{
    std::vector<std::shared_ptr<OlItem>> items;
    try {
        const std::shared_ptr<OlFolder> folder =
            session.GetFolderFromID(m_tree.value(folderNode, NodeValueName::EntryId()).toString(),
                                    m_tree.value(folderNode, NodeValueName::StoreId()).toString());
        if (!folder)
            return Result<QStringList>::failure(m_tree.caption(folderNode) +
                                                u" is not available"_s);
        items = folder->Items();
    } catch (const std::exception &error) {
        return Result<QStringList>::failure(QString::fromUtf8(error.what()));
    }
    return run(standardRoot, items);
}

QStringList AddressBookGroupImport::run(NodeHandle standardRoot,
                                        const std::vector<std::shared_ptr<OlItem>> &items)
{
    // Contacts by UID, read once, so each member is found without walking the folder.
    QHash<QString, const OlItem *> contacts;
    std::vector<const OlItem *> groupCards;
    for (const auto &item : items) {
        if (!item)
            continue;
        try {
            if (item->Class() == olDistributionListItem)
                groupCards.push_back(item.get());
            else if (item->Class() == olContactItem && !item->UID().isEmpty())
                contacts.insert(item->UID(), item.get());
        } catch (const std::exception &) {
            // An item that cannot be read names no one.
        }
    }

    QStringList problems;
    for (const OlItem *card : groupCards) {
        const QString caption = card->FileAs().trimmed();
        if (caption.isEmpty()) {
            problems.append(u"A group card without a name was left out"_s);
            continue;
        }
        std::vector<GroupEditor::NewMember> members;
        for (const QString &member : card->Members()) {
            if (member.startsWith(MailScheme)) {
                const Result<QString> address = MemberCheck::address(member.mid(MailScheme.size()));
                if (!address.ok()) {
                    problems.append(u"%1: member %2 was left out: %3"_s.arg(
                        caption, member.simplified(), address.error()));
                    continue;
                }
                members.push_back(
                    {static_cast<int>(NodeKind::TypedMember), QString(), *address, *address});
                continue;
            }
            const OlItem *contact = contacts.value(member.mid(UuidScheme.size()));
            if (!contact) {
                problems.append(
                    u"%1: member %2 is no contact of this folder"_s.arg(caption, member));
                continue;
            }
            const Result<QString> address = MemberCheck::address(contact->Email1Address());
            if (!address.ok()) {
                problems.append(u"%1: member %2 (%3) was left out: %4"_s.arg(
                    caption, member, contact->FileAs(), address.error()));
                continue;
            }
            members.push_back({static_cast<int>(NodeKind::CopiedMember), contact->EntryID(),
                               contact->FileAs(), *address});
        }
        (void)m_editor.addMembers(groupNamed(standardRoot, caption), members);
    }
    return problems;
}

} // namespace corvel
