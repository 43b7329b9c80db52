#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace corvel {

class StatusPanels;
class Workspace;

// Keeps the caches of the stores on servers up to date for the window: every one at start,
// a folder's store on Refresh. Syncs run in the background; the status bar says what they
// do, when a store was last brought up to date, or why it could not be (its cache kept).
// Address books added or removed on the server show in the tree once their sync ended.
class StoreSyncCommand
{
public:
    StoreSyncCommand(Workspace &workspace, StatusPanels *panels);

    void syncAll();
    // Stores just added: their first sync, then `then` (also when it failed).
    void syncStores(const QStringList &stores, std::function<void()> then);
    // When the node at the index lies in a store on a server: starts its sync and calls
    // `then` once it ended (also when it failed; not when its folders changed and the tree
    // was built anew, as the index may name another node then), and answers true.
    bool syncStoreOf(int index, std::function<void()> then);

private:
    [[nodiscard]] QString storeOf(int index) const;
    [[nodiscard]] bool foldersDifferFromTree(const QString &store, const QString &outcome) const;
    void start(const QStringList &stores, const std::function<void()> &then);
    void show(const QString &text);

    Workspace &m_workspace;
    StatusPanels *m_panels;
    // What a sync says after this is gone (the window closed) is not heard.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace corvel
