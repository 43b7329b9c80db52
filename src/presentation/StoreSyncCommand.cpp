#include "presentation/StoreSyncCommand.h"

#include "support/StatusPanels.h"
#include "tree/TreeList.h"
#include "workspace/StoreSyncs.h"
#include "workspace/Workspace.h"

#include <QRegularExpression>
#include <QTime>

using namespace Qt::StringLiterals;

namespace corvel {

StoreSyncCommand::StoreSyncCommand(Workspace &workspace, StatusPanels *panels)
    : m_workspace(workspace)
    , m_panels(panels)
{
}

void StoreSyncCommand::show(const QString &text)
{
    if (m_panels)
        m_panels->updateCaption(StatusPanels::ActivityPanel, text);
}

void StoreSyncCommand::syncAll()
{
    const QStringList stores = m_workspace.storeSyncs().remoteStores();
    if (!stores.isEmpty())
        start(stores, {});
}

void StoreSyncCommand::syncStores(const QStringList &stores, std::function<void()> then)
{
    if (!stores.isEmpty())
        start(stores, then);
}

QString StoreSyncCommand::storeOf(int index) const
{
    const TreeList &tree = m_workspace.tree();
    NodeHandle node = tree.at(index);
    if (!node)
        return {};
    while (tree.parent(node))
        node = tree.parent(node);
    return tree.caption(node);
}

bool StoreSyncCommand::foldersDifferFromTree(const QString &store, const QString &outcome) const
{
    // One line a folder: "STORE/FOLDER: N contacts (+A ~C -D)"; a caption may hold ": ".
    static const QRegularExpression line(u"^(.*): \\d+ contacts \\("_s);
    const QString prefix = store + u'/';
    QStringList synced;
    for (const QString &text : outcome.split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = line.match(text.mid(prefix.size()));
        if (text.startsWith(prefix) && match.hasMatch())
            synced << match.captured(1);
    }
    const TreeList &tree = m_workspace.tree();
    QStringList shown;
    for (NodeHandle top : tree.children({})) {
        if (tree.caption(top) != store)
            continue;
        for (NodeHandle folder : tree.children(top))
            shown << tree.caption(folder);
    }
    synced.sort();
    shown.sort();
    return synced != shown;
}

bool StoreSyncCommand::syncStoreOf(int index, std::function<void()> then)
{
    const QString store = storeOf(index);
    if (store.isEmpty() || !m_workspace.storeSyncs().isRemote(store))
        return false;
    start({store}, then);
    return true;
}

void StoreSyncCommand::start(const QStringList &stores, const std::function<void()> &then)
{
    StoreSyncs::Listener listener;
    const std::weak_ptr<bool> alive = m_alive;
    listener.progress = [this, alive](const QString &store, const QString &doing) {
        if (!alive.expired())
            show(u"%1: %2…"_s.arg(store, doing));
    };
    listener.finished = [this, alive, then, last = stores.back()](const QString &store, bool ok,
                                                                  const QString &outcome) {
        if (alive.expired())
            return;
        if (ok && foldersDifferFromTree(store, outcome)) {
            if (const Status reloaded = m_workspace.reloadStores(); !reloaded.ok()) {
                show(u"%1 was brought up to date, but its folders cannot be shown: %2"_s.arg(
                    store, reloaded.error()));
                return;
            }
            // The tree was built anew: the node a Refresh named may be another one now.
            show(u"%1 brought up to date at %2; its folders changed"_s.arg(
                store, QTime::currentTime().toString(u"HH:mm"_s)));
            return;
        }
        if (ok)
            show(u"%1 brought up to date at %2"_s.arg(store,
                                                      QTime::currentTime().toString(u"HH:mm"_s)));
        else
            show(u"%1 could not be brought up to date (its cache is kept): %2"_s.arg(store,
                                                                                     outcome));
        if (then && store == last)
            then();
    };
    if (!m_workspace.storeSyncs().start(stores, std::move(listener)))
        show(u"A sync is still running: the folder is listed from the cache."_s);
}

} // namespace corvel
