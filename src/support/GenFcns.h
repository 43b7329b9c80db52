#pragma once

#include <QString>

namespace corvel {

// True only for an existing regular file that can be opened for reading; a pattern with
// wildcards never names a file.
[[nodiscard]] bool FileExists(const QString &path);

// True when something of any kind (a file, a folder, a link even if it leads nowhere) has
// that name.
[[nodiscard]] bool EntryExists(const QString &path);

// The user's data folder: $XDG_DATA_HOME/Tessary/Corvel. Not created here.
[[nodiscard]] QString UserDataFolder();

// Where the program keeps its data files: the user's data folder, unless the executable's
// folder already holds a group file (a portable install). No trailing slash; not created.
[[nodiscard]] QString AppPath(const QString &executableDir);
[[nodiscard]] QString AppPath();

// Makes a folder and its missing parents readable by the user alone (0700); an existing
// folder keeps its mode. Returns an empty text on success, else the reason.
[[nodiscard]] QString MakePrivateFolder(const QString &path);

// Where a file shipped with the program (read-only data such as "mailstandards.sys" or the
// "help" folder) is found. The one place that knows where installs put them.
[[nodiscard]] QString ShippedPath(const QString &executableDir, const QString &name);

} // namespace corvel
