#pragma once

#include <QString>

namespace corvel {

// A store's location as registered in the settings: a directory, or the URL of a server whose
// contacts are kept in a cache folder of the store's own.
[[nodiscard]] bool IsRemoteLocation(const QString &location);

// The cache folder of a remote store: <cacheHome>/Tessary/Corvel/<name>, the name encoded so
// that it always names one folder right under the cache root. Not created here.
[[nodiscard]] QString StoreCacheFolder(const QString &cacheHome, const QString &storeName);

// The folder every store cache lives in.
[[nodiscard]] QString StoreCacheRoot(const QString &cacheHome);

} // namespace corvel
