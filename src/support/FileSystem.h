#pragma once

#include "support/Result.h"

#include <QString>

namespace corvel {

// True only for an existing regular file that can be opened for reading; a pattern with
// wildcards never names a file.
[[nodiscard]] bool FileExists(const QString &path);

// True when something of any kind (a file, a folder, a link even if it leads nowhere) has
// that name.
[[nodiscard]] bool EntryExists(const QString &path);

// The program's data folder under a user's data home ($XDG_DATA_HOME, found by the caller):
// <dataHome>/Tessary/Corvel. Not created here.
[[nodiscard]] QString DataFolderUnder(const QString &dataHome);

// Where the program keeps its data files: userDataFolder, unless the executable's folder
// already holds a group file (a portable install). No trailing slash; not created.
[[nodiscard]] QString AppPath(const QString &executableDir, const QString &userDataFolder);

// Makes a folder and its missing parents readable by the user alone (0700); an existing
// folder keeps its mode.
[[nodiscard]] Status MakePrivateFolder(const QString &path);

// Where a file shipped with the program (read-only data such as "mailstandards.sys" or the
// "help" folder) is found. The one place that knows where installs put them.
[[nodiscard]] QString ShippedPath(const QString &executableDir, const QString &name);

} // namespace corvel
