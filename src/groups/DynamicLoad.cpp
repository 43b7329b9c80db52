#include "groups/DynamicLoad.h"

#include "groups/CategoryMatcher.h"
#include "groups/GroupEditor.h"
#include "groups/GroupStore.h"
#include "session/FolderItemReader.h"
#include "session/OutlookSession.h"
#include "support/FieldStrings.h"
#include "support/PercentMeter.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr int contactClass = 40;

QString text(const TreeList &tree, NodeHandle node, const QString &name)
{
    return tree.value(node, name).toString();
}

// Where each listed folder holds its rows, found in one pass. A folder with sub-folders
// keeps them in a node of its own beside the sub-folders, so the node to read is the one
// that is listed, never the folder's.
QHash<QString, NodeHandle> listedFolders(const TreeList &tree, const QStringList &entryIds)
{
    QHash<QString, NodeHandle> listed;
    for (const QString &entryId : entryIds)
        listed.insert(entryId, NodeHandle());
    for (const NodeHandle node : tree.displayOrder()) {
        if (nodeKind(tree, node) != NodeKind::ContactFolderListed)
            continue;
        auto it = listed.find(text(tree, node, NodeValueName::EntryId()));
        if (it != listed.end())
            *it = node;
    }
    return listed;
}

std::vector<DynamicLoad::Contact> contactsOf(const TreeList &tree, NodeHandle folder)
{
    std::vector<DynamicLoad::Contact> contacts;
    for (NodeHandle row = tree.firstChild(folder); row; row = tree.nextSibling(row)) {
        QString categories = text(tree, row, NodeValueName::Categories());
        // Without categories a contact never fits: not worth copying.
        if (!categories.isEmpty())
            contacts.push_back({text(tree, row, NodeValueName::EntryId()),
                                text(tree, row, NodeValueName::FileAs()),
                                text(tree, row, NodeValueName::Email1Address()),
                                std::move(categories)});
    }
    return contacts;
}

bool available(OlNamespace *session, const DynamicLoad::Source &source)
{
    if (!session)
        return false;
    try {
        return session->GetFolderFromID(source.entryId, source.storeId) != nullptr;
    } catch (const std::exception &) {
        return false;
    }
}

// The contacts of a folder not listed in the tree, read a chunk at a time (each item let go
// once its values are taken); an item that cannot be read is skipped, a folder that cannot be
// read gives none. progress shows the read and is where a cancelled job stops.
std::vector<DynamicLoad::Contact>
readContacts(OlNamespace &session, const DynamicLoad::Source &source, StatusPanels *progress)
{
    std::vector<DynamicLoad::Contact> contacts;
    try {
        const std::unique_ptr<FolderItemReader> reader =
            session.GetFolderFromID(source.entryId, source.storeId)->itemReader([progress] {
                if (progress)
                    progress->checkCancelled();
            });
        contacts.reserve(reader->expectedCount());
        FolderItemReader::Chunk chunk;
        PercentMeter meter(progress, 100);
        while (reader->next(chunk)) {
            if (progress)
                progress->checkCancelled();
            meter.reach(size_t(reader->percentRead()));
            for (std::shared_ptr<OlItem> &item : chunk) {
                try {
                    if (item && item->Class() == contactClass)
                        contacts.push_back({item->EntryID(), item->FileAs(), item->Email1Address(),
                                            item->Categories()});
                } catch (const std::exception &) {
                }
                item.reset();
            }
        }
    } catch (const std::exception &) {
        return {};
    }
    return contacts;
}

class MemberRows
{
public:
    explicit MemberRows(StatusPanels *progress)
        : m_holder(m_rows.addNode(QString()))
        , m_progress(progress)
    {
    }

    void addFitting(const CategoryMatcher &matcher, const std::vector<DynamicLoad::Contact> &from)
    {
        PercentMeter meter(m_progress, from.size());
        for (const DynamicLoad::Contact &contact : from) {
            if (!contact.categories.isEmpty() && matcher.matchCategories(contact.categories))
                add(contact);
            meter.step();
        }
    }

    // Copied in display order, so they arrive sorted as the group sorts them.
    TreeBranch take()
    {
        m_rows.setChildOrder(m_holder, ChildOrder::ByValue, NodeValueName::FileAs());
        return m_rows.copyBranch(m_holder, true);
    }

private:
    void add(const DynamicLoad::Contact &contact)
    {
        const NodeHandle member = m_rows.addNode(QString(), m_holder);
        m_rows.setValue(member, NodeValueName::olType(), static_cast<int>(NodeKind::DynamicMember));
        m_rows.setValue(member, NodeValueName::EntryId(), contact.entryId);
        m_rows.setValue(member, NodeValueName::FileAs(), contact.fileAs);
        m_rows.setValue(member, NodeValueName::Email1Address(), contact.address);
    }

    TreeList m_rows;
    NodeHandle m_holder;
    StatusPanels *m_progress;
};

} // namespace

DynamicLoad::Plan DynamicLoad::plan(const TreeList &tree, NodeHandle group)
{
    Plan plan{group, text(tree, group, NodeValueName::InCats()), {}};
    const QString ids = text(tree, group, NodeValueName::EntryIds());
    if (ids.isEmpty())
        return plan;
    const QString sep = ListSeparator;
    const QStringList entryIds = ids.split(sep);
    const QStringList storeIds = text(tree, group, NodeValueName::StoreIds()).split(sep);
    const QStringList names = text(tree, group, NodeValueName::FolderNames()).split(sep);
    const QHash<QString, NodeHandle> listed = listedFolders(tree, entryIds);
    for (qsizetype i = 0; i < entryIds.size(); ++i) {
        const NodeHandle folder = listed.value(entryIds[i]);
        plan.sources.push_back({entryIds[i], storeIds.value(i), names.value(i), bool(folder),
                                folder ? contactsOf(tree, folder) : std::vector<Contact>()});
    }
    return plan;
}

Result<TreeBranch> DynamicLoad::readMembers(OlNamespace *session, const Plan &plan,
                                            StatusPanels *progress)
{
    for (const Source &source : plan.sources) {
        if (!available(session, source))
            return Result<TreeBranch>::failure(
                (source.name.isEmpty() ? source.entryId : source.name) + u" is not available"_s);
    }
    const CategoryMatcher matcher(plan.categories);
    MemberRows rows(progress);
    for (const Source &source : plan.sources)
        rows.addFitting(matcher,
                        source.listed ? source.contacts : readContacts(*session, source, progress));
    return rows.take();
}

Status DynamicLoad::apply(TreeList &tree, const GroupStore &store, NodeHandle group,
                          TreeBranch &&members, const QString &loadedAt)
{
    if (!tree.isValid(group) || nodeKind(tree, group) != NodeKind::DynamicGroup)
        return Status::failure(u"that mail group no longer exists"_s);
    tree.removeDescendants(group);
    store.setupGroupGrid(tree, group);
    if (!members.isEmpty())
        tree.insertBranch(std::move(members), group);
    tree.setValue(group, NodeValueName::LastLoaded(), loadedAt);
    GroupEditor(tree, store).finishMembers(group);
    tree.markChildrenInOrder(group);
    return {};
}

void DynamicLoad::announce(StatusPanels *panels)
{
    if (!panels)
        return;
    panels->updateCaption(StatusPanels::CountPanel, QString());
    panels->updateCaption(StatusPanels::ActivityPanel, u"Finding Contacts"_s);
}

} // namespace corvel
