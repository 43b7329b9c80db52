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
    // dataRoot is the user's data home ($XDG_DATA_HOME), found by the caller.
    StoreRegistry(CRegSettings &settings, QString dataRoot);

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
