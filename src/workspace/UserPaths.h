#pragma once

#include <QString>

namespace corvel {

// Where the user's own files go, found once when a program starts and handed to the layers
// below, which read no environment or user configuration themselves.
struct UserPaths
{
    QString home;
    QString configHome; // $XDG_CONFIG_HOME, else ~/.config: the settings file's root
    QString dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    QString cacheHome;  // $XDG_CACHE_HOME, else ~/.cache: remote stores' caches

    [[nodiscard]] static UserPaths fromEnvironment();
    // The program's own data folder, <dataHome>/Tessary/Corvel. Not created here.
    [[nodiscard]] QString dataFolder() const;
};

} // namespace corvel
