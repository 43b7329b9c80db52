#pragma once

#include <QString>

namespace corvel {

// True only for an existing regular file that can be opened for reading; a pattern with
// wildcards never names a file.
[[nodiscard]] bool FileExists(const QString &path);

// Where the program keeps its own files: beside the executable when that folder is
// writable (a portable install), else the user's data folder, created if missing.
// No trailing slash.
[[nodiscard]] QString AppPath(const QString &executableDir);
[[nodiscard]] QString AppPath();

} // namespace corvel
