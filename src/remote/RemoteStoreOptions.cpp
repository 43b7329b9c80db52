#include "remote/RemoteStoreOptions.h"

#include "secrets/Keyring.h"
#include "secrets/PasswordSource.h"
#include "support/CRegSettings.h"
#include "support/StoreLocation.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto StoresSection = u"Stores"_s;

} // namespace

QString RemoteStoreOptions::sectionOf(const QString &storeName)
{
    return u"Store "_s + storeName;
}

RemoteStoreOptions RemoteStoreOptions::read(const CRegSettings &settings, const QString &storeName)
{
    RemoteStoreOptions options;
    options.name = storeName;
    const QString location = settings.getSetting(StoresSection, storeName, {});
    if (!IsRemoteLocation(location))
        return options;
    options.location = location;
    const QString section = sectionOf(storeName);
    options.user = settings.getSetting(section, u"User"_s, {});
    options.passwordCommand = settings.getSetting(section, u"PasswordCommand"_s, {});
    options.keyring = settings.getSetting(section, u"Keyring"_s, u"0"_s) == u"1"_s;
    options.caFile = settings.getSetting(section, u"CAFile"_s, {});
    options.categoriesAttribute = settings.getSetting(section, u"CategoriesAttribute"_s, {});
    const int timeout = settings.getSetting(section, u"Timeout"_s, {}).toInt();
    if (timeout > 0)
        options.timeoutSeconds = timeout;
    return options;
}

Status RemoteStoreOptions::write(CRegSettings &settings) const
{
    const QString section = sectionOf(name);
    bool ok = settings.saveSetting(StoresSection, name, location);
    (void)settings.deleteSetting(section, {});
    const std::pair<QString, QString> values[] = {
        {u"User"_s, user},
        {u"PasswordCommand"_s, passwordCommand},
        {u"Keyring"_s, keyring ? u"1"_s : QString()},
        {u"CAFile"_s, caFile},
        {u"CategoriesAttribute"_s, categoriesAttribute},
    };
    for (const auto &[key, value] : values) {
        if (!value.isEmpty())
            ok = settings.saveSetting(section, key, value) && ok;
    }
    if (ok)
        return {};
    return Status::failure(u"The store cannot be written to %1%2"_s.arg(
        settings.filePath(), settings.problem().isEmpty() ? u"."_s : u": "_s + settings.problem()));
}

Result<QString> RemoteStoreOptions::password(const std::atomic<bool> *cancelled) const
{
    PasswordSource source;
    source.owner = u"the store "_s + name;
    if (keyring)
        source.keyringKey = Keyring::storeKey(name);
    else if (!passwordCommand.isEmpty())
        source.command = QStringList{u"/bin/sh"_s, u"-c"_s, passwordCommand};
    return source.read(cancelled);
}

} // namespace corvel
