#include "workspace/UserPaths.h"

#include "support/FileSystem.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace corvel {

UserPaths UserPaths::fromEnvironment()
{
    UserPaths paths;
    paths.home = QDir::homePath();
    paths.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (paths.configHome.isEmpty())
        paths.configHome = paths.home + u"/.config"_s;
    paths.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (paths.dataHome.isEmpty())
        paths.dataHome = paths.home + u"/.local/share"_s;
    paths.cacheHome = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (paths.cacheHome.isEmpty())
        paths.cacheHome = paths.home + u"/.cache"_s;
    return paths;
}

QString UserPaths::dataFolder() const
{
    return DataFolderUnder(dataHome);
}

} // namespace corvel
