#pragma once

#include "support/Result.h"

#include <QString>

#include <atomic>

namespace corvel {

class CRegSettings;

// A remote store as registered: its location in [Stores] and its options in [Store NAME].
// No password is kept anywhere: it comes from PasswordCommand (or the keyring) each time.
struct RemoteStoreOptions
{
    QString name;
    QString location; // http(s):// or ldap(s):// URL
    QString user;
    QString passwordCommand;
    bool keyring = false;
    QString caFile;
    QString categoriesAttribute; // LDAP: where categories come from
    int timeoutSeconds = 30;

    [[nodiscard]] static QString sectionOf(const QString &storeName);
    // Empty location when the store is not registered or is a directory.
    [[nodiscard]] static RemoteStoreOptions read(const CRegSettings &settings,
                                                 const QString &storeName);
    // Writes [Stores] NAME=LOCATION and the [Store NAME] section (options left empty are left out).
    [[nodiscard]] Status write(CRegSettings &settings) const;

    // The password: the keyring's entry for the store, or else PasswordCommand's first line of
    // output (run by the shell); empty when neither is set.
    // `cancelled` (may be null) turning true ends the wait for it.
    [[nodiscard]] Result<QString> password(const std::atomic<bool> *cancelled = nullptr) const;
};

} // namespace corvel
