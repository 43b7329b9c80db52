#pragma once

#include "session/LocalStore.h"

#include <vector>

namespace corvel {

class CRegSettings;

// The stores the user registered, kept in the settings' "Stores" section (key: the store's
// name, value: its directory or its server's URL). A store on a server is read from its cache
// folder, so the session lists it as it lists any other. A user without any gets the personal
// folders, made on first use.
class StoreRegistry
{
public:
    // dataRoot and cacheRoot are the user's data and cache homes ($XDG_DATA_HOME,
    // $XDG_CACHE_HOME), found by the caller; without a cacheRoot stores on servers are left out.
    StoreRegistry(CRegSettings &settings, QString dataRoot, QString cacheRoot = {});

    // Throws OutlookError when the personal folders are needed and cannot be made. None are
    // made while the settings file cannot be read whole (CRegSettings::problem()).
    [[nodiscard]] std::vector<LocalStore> stores();
    [[nodiscard]] QString personalFoldersDirectory() const;

private:
    void createPersonalFolders(const QString &directory) const;

    CRegSettings &m_settings;
    QString m_dataRoot;
    QString m_cacheRoot;
};

} // namespace corvel
