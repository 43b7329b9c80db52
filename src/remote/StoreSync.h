#pragma once

#include "remote/RemoteFolderSource.h"
#include "remote/StoreCache.h"
#include "support/Result.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvel {

// What one sync did to one folder of a store.
struct FolderSyncCount
{
    QString folder; // its caption
    int contacts = 0;
    int added = 0;
    int changed = 0;
    int removed = 0;

    // "FOLDER: N contacts (+A ~C -D)"
    [[nodiscard]] QString line() const;
};

// Brings a store's cache up to date from its source. Every folder is fetched and checked
// before anything is written; then only what changed is written, and nothing when nothing
// did. A failure leaves the cache exactly as it was.
class StoreSync
{
public:
    StoreSync(RemoteFolderSource &source, const StoreCache &cache);

    // `progress` hears what is being done, for a status bar.
    [[nodiscard]] Result<std::vector<FolderSyncCount>>
    run(const std::function<void(const QString &)> &progress = {});

private:
    [[nodiscard]] static Status checkCards(const RemoteFolder &folder, const RemoteFolder &cached);
    [[nodiscard]] static FolderSyncCount count(const RemoteFolder &folder,
                                               const RemoteFolder &cached);

    RemoteFolderSource &m_source;
    const StoreCache &m_cache;
};

} // namespace corvel
