#pragma once

#include "remote/RemoteStoreOptions.h"
#include "remote/StoreSync.h"
#include "support/Result.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace corvel {

class CRegSettings;

// One remote store's sync from start to end: its password, its source, its cache. Blocking:
// the window runs it on a thread of its own.
class RemoteStoreSync
{
public:
    // cacheHome is the user's cache home ($XDG_CACHE_HOME), found by the caller.
    RemoteStoreSync(RemoteStoreOptions options, QString cacheHome);

    [[nodiscard]] const RemoteStoreOptions &options() const { return m_options; }
    // `cancelled` (may be null) turning true ends the sync soon, as a failure.
    [[nodiscard]] Result<std::vector<FolderSyncCount>>
    run(const std::function<void(const QString &)> &progress = {},
        const std::atomic<bool> *cancelled = nullptr) const;

    // Every store registered with a server's URL, in the settings' order.
    [[nodiscard]] static std::vector<RemoteStoreOptions> registered(const CRegSettings &settings);

private:
    RemoteStoreOptions m_options;
    QString m_cacheHome;
};

} // namespace corvel
