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

    // Why the store cannot be added as it is, before anything is asked or written: a name
    // taken or not of one line, a location that is neither a folder nor a server's URL, a
    // password source named twice.
    [[nodiscard]] Status check(const RemoteStoreOptions &store) const;
    // The checks of a server's store that need no settings, for a form that keeps its own list.
    [[nodiscard]] static Status checkServer(const RemoteStoreOptions &store);
    [[nodiscard]] static Status checkName(const QString &name);
    // A directory, or a server's URL with its options. A store whose password lives in the
    // keyring has `keyringPassword` put there first: when that fails, nothing is registered.
    [[nodiscard]] Status add(const RemoteStoreOptions &store, const QString &keyringPassword = {});
    // Also deletes the store's password from the keyring, when it was kept there.
    [[nodiscard]] Status remove(const QString &name);

private:
    CRegSettings &m_settings;
    QString m_cacheHome;
};

} // namespace corvel
