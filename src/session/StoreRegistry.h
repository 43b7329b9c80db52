#pragma once

#include "session/LocalStore.h"

#include <vector>

namespace corvel {

class CRegSettings;

// The stores the user registered, kept in the settings' "Stores" section (key: the store's
// name, value: its directory). A user without any gets the personal folders, made on first use.
class StoreRegistry
{
public:
    // An empty dataRoot means the user's data folder ($XDG_DATA_HOME).
    explicit StoreRegistry(CRegSettings &settings, QString dataRoot = {});

    // Throws OutlookError when the personal folders are needed and cannot be made. None are
    // made while the settings file cannot be read whole (CRegSettings::problem()).
    [[nodiscard]] std::vector<LocalStore> stores();
    [[nodiscard]] QString personalFoldersDirectory() const;

private:
    void createPersonalFolders(const QString &directory) const;

    CRegSettings &m_settings;
    QString m_dataRoot;
};

} // namespace corvel
