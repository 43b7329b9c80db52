#pragma once

#include <QString>

namespace corvel {

// Where the program's own read-only files are (the column defaults "mailstandards.sys" and
// the help pages): beside the executable in a build tree or a portable copy, else in the
// share folder of the prefix it was installed into.
class ShippedFiles
{
public:
    // The folder that holds "mailstandards.sys"; the executable's folder when none does, so
    // that what is missing is reported where the user would look first.
    [[nodiscard]] static QString directory(const QString &executableDir);
    [[nodiscard]] static QString helpDirectory(const QString &shippedDir);
    // The share folder as seen from the executable's folder once installed.
    [[nodiscard]] static QString installedRelativePath();
};

} // namespace corvel
