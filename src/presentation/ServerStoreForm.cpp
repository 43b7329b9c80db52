#include "presentation/ServerStoreForm.h"

#include "remote/StoreRegistration.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

RemoteStoreOptions optionsOf(const ServerStoreForm &form)
{
    RemoteStoreOptions options;
    options.name = form.name;
    options.location = form.location.trimmed();
    options.user = form.user.trimmed();
    options.keyring = form.keyring;
    if (!form.keyring)
        options.passwordCommand = form.passwordCommand.trimmed();
    options.caFile = form.caFile.trimmed();
    if (form.isLdap())
        options.categoriesAttribute = form.categoriesAttribute.trimmed();
    return options;
}

} // namespace

bool ServerStoreForm::isLdap() const
{
    return location.trimmed().startsWith(u"ldap"_s, Qt::CaseInsensitive);
}

QString ServerStoreForm::problem(const std::vector<LocalStore> &others) const
{
    if (name.trimmed().isEmpty())
        return u"Enter the store's name."_s;
    if (name.trimmed() != name)
        return u"The store name \"%1\" begins or ends with a blank."_s.arg(name);
    for (const LocalStore &other : others) {
        if (other.name.trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return u"A store is named \"%1\" already."_s.arg(name);
    }
    if (location.trimmed().isEmpty())
        return u"Enter the server's address: an http(s):// or ldap(s):// URL."_s;
    if (Status checked = StoreRegistration::checkServer(optionsOf(*this)); !checked.ok())
        return checked.error();
    if (keyring && password.isEmpty())
        return u"Enter the password to keep in the keyring."_s;
    if (!keyring && !passwordCommand.trimmed().isEmpty() && user.trimmed().isEmpty())
        return u"A password command needs a user name."_s;
    return {};
}

Status ServerStoreForm::registerIn(CRegSettings &settings, const QString &cacheHome) const
{
    return StoreRegistration(settings, cacheHome)
        .add(optionsOf(*this), keyring ? password : QString());
}

} // namespace corvel
