#include "remote/StoreRegistration.h"

#include "remote/StoreCache.h"
#include "secrets/Keyring.h"
#include "support/CRegSettings.h"
#include "support/StoreLocation.h"

#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto StoresSection = u"Stores"_s;

bool isRegistered(const CRegSettings &settings, const QString &name)
{
    for (const auto &[key, value] : settings.allSettings(StoresSection)) {
        if (key == name)
            return true;
    }
    return false;
}

} // namespace

StoreRegistration::StoreRegistration(CRegSettings &settings, QString cacheHome)
    : m_settings(settings)
    , m_cacheHome(std::move(cacheHome))
{
}

Status StoreRegistration::check(const RemoteStoreOptions &store) const
{
    if (Status named = checkName(store.name); !named.ok())
        return named;
    if (isRegistered(m_settings, store.name))
        return Status::failure(u"A store named %1 is registered already."_s.arg(store.name));
    if (IsRemoteLocation(store.location) || store.location.contains(u"://"_s))
        return checkServer(store);
    if (!QFileInfo(store.location).isDir())
        return Status::failure(u"%1 is no folder."_s.arg(store.location));
    return {};
}

Status StoreRegistration::checkName(const QString &name)
{
    if (name.trimmed().isEmpty() || name.contains(u'\n'))
        return Status::failure(u"A store needs a name of one line."_s);
    return {};
}

Status StoreRegistration::checkServer(const RemoteStoreOptions &store)
{
    if (Status named = checkName(store.name); !named.ok())
        return named;
    if (!IsRemoteLocation(store.location))
        return Status::failure(u"%1: only http://, https://, ldap:// and ldaps:// servers "
                               "can be stores."_s.arg(store.location));
    const QUrl url(store.location, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return Status::failure(u"%1 is no URL a server can be reached at."_s.arg(store.location));
    if (store.keyring && !store.passwordCommand.isEmpty())
        return Status::failure(
            u"The password comes from a command or from the keyring, not both."_s);
    return {};
}

Status StoreRegistration::add(const RemoteStoreOptions &store, const QString &keyringPassword)
{
    if (Status checked = check(store); !checked.ok())
        return checked;
    if (!IsRemoteLocation(store.location)) {
        if (!m_settings.saveSetting(StoresSection, store.name,
                                    QFileInfo(store.location).absoluteFilePath()))
            return Status::failure(
                u"The store cannot be written to %1."_s.arg(m_settings.filePath()));
        return {};
    }
    if (store.keyring) {
        if (keyringPassword.isEmpty())
            return Status::failure(u"No password was given for the keyring."_s);
        if (Status kept = Keyring().write(Keyring::storeKey(store.name), keyringPassword);
            !kept.ok())
            return Status::failure(
                u"The store %1 is not added: %2"_s.arg(store.name, kept.error()));
    }
    // A cache left by a store of that name before belongs to another server, perhaps.
    if (Status dropped = StoreCache(StoreCacheFolder(m_cacheHome, store.name)).remove();
        !dropped.ok())
        return dropped;
    return store.write(m_settings);
}

Status StoreRegistration::remove(const QString &name)
{
    if (!isRegistered(m_settings, name))
        return Status::failure(u"No store is named %1."_s.arg(name));
    const RemoteStoreOptions options = RemoteStoreOptions::read(m_settings, name);
    const bool remote = !options.location.isEmpty();
    if (!m_settings.deleteSetting(StoresSection, name))
        return Status::failure(
            u"The store cannot be removed from %1."_s.arg(m_settings.filePath()));
    if (!remote)
        return {};
    (void)m_settings.deleteSetting(RemoteStoreOptions::sectionOf(name), {});
    if (Status dropped = StoreCache(StoreCacheFolder(m_cacheHome, name)).remove(); !dropped.ok())
        return dropped;
    if (!options.keyring)
        return {};
    if (Status forgotten = Keyring().remove(Keyring::storeKey(name)); !forgotten.ok())
        return Status::failure(
            u"The store %1 is removed, but its password stays in the keyring: %2"_s.arg(
                name, forgotten.error()));
    return {};
}

} // namespace corvel
