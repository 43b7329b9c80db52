#include "remote/RemoteStoreSync.h"

#include "remote/RemoteSources.h"
#include "remote/StoreCache.h"
#include "support/CRegSettings.h"
#include "support/StoreLocation.h"

using namespace Qt::StringLiterals;

namespace corvel {

RemoteStoreSync::RemoteStoreSync(RemoteStoreOptions options, QString cacheHome)
    : m_options(std::move(options))
    , m_cacheHome(std::move(cacheHome))
{
}

Result<std::vector<FolderSyncCount>>
RemoteStoreSync::run(const std::function<void(const QString &)> &progress,
                     const std::atomic<bool> *cancelled) const
{
    using Counts = Result<std::vector<FolderSyncCount>>;
    const Result<QString> password = m_options.password(cancelled);
    if (!password.ok())
        return Counts::failure(password.error());
    Result<std::unique_ptr<RemoteFolderSource>> source =
        RemoteSources::open(m_options, *password, cancelled);
    if (!source.ok())
        return Counts::failure(source.error());
    const StoreCache cache(StoreCacheFolder(m_cacheHome, m_options.name));
    return StoreSync(**source, cache).run(progress);
}

std::vector<RemoteStoreOptions> RemoteStoreSync::registered(const CRegSettings &settings)
{
    std::vector<RemoteStoreOptions> stores;
    for (const auto &[name, location] : settings.allSettings(u"Stores"_s)) {
        if (IsRemoteLocation(location))
            stores.push_back(RemoteStoreOptions::read(settings, name));
    }
    return stores;
}

} // namespace corvel
