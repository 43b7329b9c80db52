#pragma once

#include "remote/RemoteStoreOptions.h"
#include "support/Result.h"

#include <QString>

namespace corvel {

class CRegSettings;

// Registers and unregisters stores in the settings, as `add-store`, `remove-store` and Mail
// Setup do. Nothing on a server or in a local folder is ever touched; a remote store's
// cache goes with it.
class StoreRegistration
{
public:
    // cacheHome is the user's cache home ($XDG_CACHE_HOME), found by the caller.
    StoreRegistration(CRegSettings &settings, QString cacheHome);

    // A directory, or a server's URL with its options; refused when the name is taken.
    [[nodiscard]] Status add(const RemoteStoreOptions &store);
    [[nodiscard]] Status remove(const QString &name);

private:
    CRegSettings &m_settings;
    QString m_cacheHome;
};

} // namespace corvel
