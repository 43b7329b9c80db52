#pragma once

#include "session/LocalStore.h"
#include "support/Result.h"

#include <QString>

#include <vector>

namespace corvel {

class CRegSettings;

// The rules of adding a store on a server (CardDAV or LDAP) in Mail Setup: the checks
// `corvelctl add-store` makes, and a password that goes to the keyring, never to a file.
struct ServerStoreForm
{
    QString name;
    QString location; // http(s):// or ldap(s):// URL
    QString user;
    bool keyring = false;
    QString passwordCommand; // used unless keyring
    QString password;        // with keyring: put there when the store is registered
    QString caFile;
    QString categoriesAttribute; // LDAP only

    [[nodiscard]] bool isLdap() const;
    // Why the store cannot be added; empty when it can. `others`: the stores there already.
    [[nodiscard]] QString problem(const std::vector<LocalStore> &others = {}) const;
    // Registers the store as add-store does (password into the keyring first, the cache of
    // an earlier store of the name dropped).
    [[nodiscard]] Status registerIn(CRegSettings &settings, const QString &cacheHome) const;
};

} // namespace corvel
