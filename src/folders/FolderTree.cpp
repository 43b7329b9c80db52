#include "folders/FolderTree.h"

#include "folders/GroupRootsSource.h"
#include "session/OutlookSession.h"
#include "support/BusyIndicator.h"
#include "support/FieldStrings.h"
#include "tree/NodeKinds.h"

namespace corvel {

namespace {

const QString ContactClass = QStringLiteral("IPM.Contact");
const QString NoteClass = QStringLiteral("IPM.Note");

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isListedClass(const QString &messageClass)
{
    return sameText(messageClass, ContactClass) || sameText(messageClass, NoteClass);
}

} // namespace

FolderTree::FolderTree(TreeList &tree, OlNamespace &session, GroupRootsSource &groupRoots,
                       BusyIndicator *busy)
    : m_tree(tree)
    , m_session(session)
    , m_groupRoots(groupRoots)
    , m_busy(busy)
{
}

Status FolderTree::loadFolderTree(bool includeAllFolders)
{
    // The pointer is restored on every path, a failed build included: a window left with
    // the hourglass after an error looks hung.
    BusyScope busy(m_busy);
    m_tree.suspendDrawing();
    try {
        const NodeHandle tempRoot =
            m_tree.addNode(QStringLiteral("Corvel: ") + m_session.CurrentUser());
        addStores(tempRoot, includeAllFolders);
        if (Status roots = m_groupRoots.addGroupRoots(m_tree, tempRoot); !roots.ok()) {
            m_tree.refresh();
            return roots;
        }
        liftToTopLevel(tempRoot);
    } catch (const OutlookError &error) {
        m_tree.refresh();
        return Status::failure(error.message());
    }
    selectFirstStore();
    return {};
}

Status FolderTree::reloadStores(bool includeAllFolders)
{
    BusyScope busy(m_busy);
    m_tree.suspendDrawing();
    const std::vector<NodeHandle> tops = m_tree.children({});
    const NodeHandle tempRoot = m_tree.addNode(QStringLiteral("Corvel: "));
    try {
        addStores(tempRoot, includeAllFolders);
    } catch (const OutlookError &error) {
        // The old stores stay: a tree without them would pass for a store that is empty.
        m_tree.remove(tempRoot);
        m_tree.refresh();
        return Status::failure(error.message());
    }
    for (NodeHandle top : tops) {
        if (nodeKind(m_tree, top) != NodeKind::Store)
            m_tree.insertBranch(m_tree.copyBranch(top), tempRoot);
    }
    liftToTopLevel(tempRoot);
    selectFirstStore();
    return {};
}

void FolderTree::addStores(NodeHandle tempRoot, bool includeAllFolders)
{
    m_sourceFolderIds.clear();
    for (const std::shared_ptr<OlFolder> &store : m_session.Folders()) {
        if (!listsStore(store->Name(), includeAllFolders))
            continue;
        addStore(*store, tempRoot);
    }
}

void FolderTree::selectFirstStore()
{
    NodeHandle first = m_tree.findByValue(NodeValue(QStringLiteral("0")), NodeValueName::SortMe());
    if (first.isNull())
        first = m_tree.at(0);
    m_tree.setCurrent(first);
    m_tree.setSelected(first, true);
    m_tree.refresh();
}

bool FolderTree::listsStore(const QString &storeName, bool includeAllFolders)
{
    return includeAllFolders || sameText(storeName, QStringLiteral("Personal Folders"));
}

void FolderTree::addStore(OlFolder &store, NodeHandle tempRoot)
{
    const QString name = store.Name();
    const NodeHandle node = m_tree.addNode(name, tempRoot);
    m_tree.setValue(node, NodeValueName::StoreId(), QString());
    m_tree.setValue(node, NodeValueName::EntryId(), store.EntryID());
    setNodeKind(m_tree, node, NodeKind::Store);
    m_tree.setValue(node, NodeValueName::SortMe(), QStringLiteral("0"));
    appendSourceFolder(store.EntryID());
    m_tree.setPicture(node, sameText(name, QStringLiteral("Personal Folders")) ? picPersonalFolders
                                                                               : picOtherStore);

    for (const std::shared_ptr<OlFolder> &folder : store.Folders()) {
        const QString messageClass = folder->DefaultMessageClass();
        if (!isListedClass(messageClass))
            continue;
        const QString folderName = folder->Name();
        const bool isContacts = sameText(messageClass, ContactClass);
        const bool isDrafts = sameText(folderName, QStringLiteral("Drafts"));
        if (!isContacts && !isDrafts)
            continue;
        if (isContacts)
            appendSourceFolder(folder->EntryID());
        const NodeHandle child = addFolderNode(*folder, node, folderName, messageClass);
        addSubFolders(*folder, child);
    }
    m_tree.setChildOrder(node, ChildOrder::Natural);
}

NodeHandle FolderTree::addFolderNode(OlFolder &folder, NodeHandle parent, const QString &name,
                                     const QString &messageClass)
{
    const NodeHandle node = m_tree.addNode(name, parent);
    m_tree.setValue(node, NodeValueName::EntryId(), folder.EntryID());
    m_tree.setValue(node, NodeValueName::StoreId(), folder.StoreID());
    setFolderKind(node, messageClass, name);
    return node;
}

void FolderTree::addSubFolders(OlFolder &folder, NodeHandle parent)
{
    // Depth-first with an explicit stack: a deeply nested store must not exhaust the stack.
    struct Pending
    {
        std::shared_ptr<OlFolder> folder;
        NodeHandle node;
    };
    std::vector<Pending> pending;
    auto expand = [&](OlFolder &current, NodeHandle node) {
        std::vector<Pending> found;
        for (const std::shared_ptr<OlFolder> &sub : current.Folders()) {
            const QString messageClass = sub->DefaultMessageClass();
            if (!isListedClass(messageClass))
                continue;
            const NodeHandle child = addFolderNode(*sub, node, sub->Name(), messageClass);
            found.push_back({sub, child});
        }
        pending.insert(pending.end(), std::make_move_iterator(found.rbegin()),
                       std::make_move_iterator(found.rend()));
    };
    expand(folder, parent);
    while (!pending.empty()) {
        Pending next = std::move(pending.back());
        pending.pop_back();
        expand(*next.folder, next.node);
    }
}

void FolderTree::setFolderKind(NodeHandle node, const QString &messageClass,
                               const QString &folderName)
{
    if (sameText(messageClass, ContactClass)) {
        m_tree.setPicture(node, picContactFolder);
        setNodeKind(m_tree, node, NodeKind::ContactFolder);
        return;
    }
    setNodeKind(m_tree, node, NodeKind::MessageFolder);
    struct Named
    {
        const char *name;
        NodePicture picture;
    };
    static constexpr Named pictures[] = {{"Inbox", picInbox},
                                         {"Drafts", picDrafts},
                                         {"OutBox", picOutbox},
                                         {"Sent Items", picSentItems},
                                         {"Deleted Items", picDeletedItems}};
    for (const Named &named : pictures) {
        if (sameText(folderName, QString::fromLatin1(named.name))) {
            m_tree.setPicture(node, named.picture);
            return;
        }
    }
    m_tree.setPicture(node, picMessageFolder);
}

void FolderTree::appendSourceFolder(const QString &entryId)
{
    m_sourceFolderIds = DS_PutField(m_sourceFolderIds, ListSeparator,
                                    DS_CountFields(m_sourceFolderIds, ListSeparator) + 1, entryId);
}

void FolderTree::liftToTopLevel(NodeHandle tempRoot)
{
    m_tree.setChildOrder(tempRoot, ChildOrder::Natural);
    const TreeBranch branch = m_tree.copyBranch(tempRoot, true);
    m_tree.clear();
    m_tree.setChildOrder({}, ChildOrder::Natural);
    m_tree.insertBranch(branch);
    for (NodeHandle top : m_tree.children({}))
        m_tree.setExpanded(top, true);
}

} // namespace corvel
