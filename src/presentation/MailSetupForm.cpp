#include "presentation/MailSetupForm.h"

#include "delivery/RateLimits.h"
#include "support/CRegSettings.h"
#include "support/StoreLocation.h"
#include "workspace/Workspace.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const QString &kindName(MailSetupForm::TransportKind kind)
{
    static const QString names[] = {u"none"_s, u"smtp"_s, u"sendmail"_s};
    return names[static_cast<int>(kind)];
}

const QString &securityName(MailSetupForm::Security security)
{
    static const QString names[] = {u"none"_s, u"starttls"_s, u"tls"_s};
    return names[static_cast<int>(security)];
}

} // namespace

QString MailSetupForm::storesSection()
{
    return u"Stores"_s;
}

QString MailSetupForm::transportSection()
{
    return u"Transport"_s;
}

QString MailSetupForm::kindText(TransportKind kind)
{
    return kindName(kind);
}

QString MailSetupForm::securityText(Security security)
{
    return securityName(security);
}

void MailSetupForm::load(const CRegSettings &settings)
{
    m_stores.clear();
    for (const auto &[name, directory] : settings.allSettings(storesSection()))
        m_stores.push_back({name, directory});
    m_draftsStore =
        settings.getSetting(Workspace::draftsStoreSection(), Workspace::draftsStoreKey(), {});
    if (!m_stores.empty() &&
        std::none_of(m_stores.begin(), m_stores.end(),
                     [&](const LocalStore &store) { return store.name == m_draftsStore; }))
        m_draftsStore = m_stores.front().name;

    const auto get = [&](const QString &key, const QString &fallback) {
        return settings.getSetting(transportSection(), key, fallback);
    };
    const Transport defaults;
    const QString kind = get(u"Kind"_s, kindName(defaults.kind)).trimmed().toLower();
    m_transport.kind = kind == kindName(TransportKind::Smtp)       ? TransportKind::Smtp
                       : kind == kindName(TransportKind::Sendmail) ? TransportKind::Sendmail
                                                                   : TransportKind::None;
    m_transport.host = get(u"Host"_s, {}).trimmed();
    bool ok = false;
    const int port = get(u"Port"_s, QString::number(defaults.port)).toInt(&ok);
    m_transport.port = ok && port > 0 && port <= 65535 ? port : defaults.port;
    const QString security = get(u"Security"_s, securityName(defaults.security)).toLower();
    m_transport.security = security == securityName(Security::None)  ? Security::None
                           : security == securityName(Security::Tls) ? Security::Tls
                                                                     : Security::StartTls;
    m_transport.user = get(u"User"_s, {});
    m_transport.passwordCommand = get(u"PasswordCommand"_s, {});
    m_transport.passwordInKeyring = get(u"PasswordStore"_s, {}).trimmed().toLower() == u"keyring"_s;
    m_transport.sendmailCommand = get(u"SendmailCommand"_s, defaults.sendmailCommand);
    m_transport.from = get(u"From"_s, {}).trimmed();
    m_transport.maxPerMinute = get(u"MaxPerMinute"_s, {}).trimmed();
    m_transport.maxPerHour = get(u"MaxPerHour"_s, {}).trimmed();
}

bool MailSetupForm::save(CRegSettings &settings) const
{
    bool ok = true;
    // The section is rewritten as a whole so that the order of the stores is the new one.
    (void)settings.deleteSetting(storesSection(), {});
    for (const LocalStore &store : m_stores)
        ok = settings.saveSetting(storesSection(), store.name, store.directory) && ok;
    ok = settings.saveSetting(Workspace::draftsStoreSection(), Workspace::draftsStoreKey(),
                              m_draftsStore) &&
         ok;
    const auto put = [&](const QString &key, const QString &value) {
        ok = settings.saveSetting(transportSection(), key, value) && ok;
    };
    put(u"Kind"_s, kindName(m_transport.kind));
    put(u"Host"_s, m_transport.host.trimmed());
    put(u"Port"_s, QString::number(m_transport.port));
    put(u"Security"_s, securityName(m_transport.security));
    put(u"User"_s, m_transport.user);
    put(u"PasswordCommand"_s, m_transport.passwordCommand);
    put(u"SendmailCommand"_s, m_transport.sendmailCommand);
    put(u"From"_s, m_transport.from.trimmed());
    put(u"MaxPerMinute"_s, m_transport.maxPerMinute.trimmed());
    put(u"MaxPerHour"_s, m_transport.maxPerHour.trimmed());
    return ok;
}

void MailSetupForm::addStore(const LocalStore &store)
{
    m_stores.push_back(store);
    if (m_stores.size() == 1)
        m_draftsStore = store.name;
}

void MailSetupForm::addServer(const ServerStoreForm &server)
{
    m_stores.push_back({server.name, server.location.trimmed()});
    m_newServers.push_back(server);
    m_newServers.back().location = server.location.trimmed();
}

bool MailSetupForm::isEditable(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_stores.size()))
        return false;
    const LocalStore &store = m_stores[index];
    return !IsRemoteLocation(store.directory) ||
           std::any_of(m_newServers.begin(), m_newServers.end(),
                       [&](const ServerStoreForm &s) { return s.name == store.name; });
}

MailSetupForm MailSetupForm::withoutNewServers() const
{
    MailSetupForm form = *this;
    for (const ServerStoreForm &server : m_newServers) {
        std::erase_if(form.m_stores, [&](const LocalStore &s) { return s.name == server.name; });
    }
    form.m_newServers.clear();
    return form;
}

ServerStoreForm *MailSetupForm::newServerNamed(const QString &name)
{
    const auto found = std::find_if(m_newServers.begin(), m_newServers.end(),
                                    [&](const ServerStoreForm &s) { return s.name == name; });
    return found == m_newServers.end() ? nullptr : &*found;
}

void MailSetupForm::setSuggestions(std::vector<StoreSuggestion> suggestions)
{
    m_suggestions = std::move(suggestions);
}

std::vector<StoreSuggestion> MailSetupForm::suggestions() const
{
    return ExistingStoreFinder::unregistered(m_suggestions, m_stores);
}

void MailSetupForm::addSuggestion(const StoreSuggestion &suggestion)
{
    QSet<QString> names;
    for (const LocalStore &store : m_stores)
        names.insert(store.name.trimmed().toCaseFolded());
    QString name = suggestion.store.name.trimmed();
    for (int n = 2; names.contains(name.toCaseFolded()); ++n)
        name = u"%1 %2"_s.arg(suggestion.store.name.trimmed()).arg(n);
    addStore({name, suggestion.store.directory});
}

void MailSetupForm::removeStore(int index)
{
    if (index < 0 || index >= static_cast<int>(m_stores.size()))
        return;
    const bool wasDrafts = m_stores[index].name == m_draftsStore;
    std::erase_if(m_newServers,
                  [&](const ServerStoreForm &s) { return s.name == m_stores[index].name; });
    m_stores.erase(m_stores.begin() + index);
    if (wasDrafts)
        m_draftsStore = m_stores.empty() ? QString() : m_stores.front().name;
}

void MailSetupForm::moveStore(int index, int delta)
{
    const int target = index + delta;
    const int count = static_cast<int>(m_stores.size());
    if (index < 0 || index >= count || target < 0 || target >= count)
        return;
    std::swap(m_stores[index], m_stores[target]);
}

void MailSetupForm::setStoreName(int index, const QString &name)
{
    if (index < 0 || index >= static_cast<int>(m_stores.size()))
        return;
    if (m_stores[index].name == m_draftsStore)
        m_draftsStore = name;
    if (ServerStoreForm *server = newServerNamed(m_stores[index].name))
        server->name = name;
    m_stores[index].name = name;
}

void MailSetupForm::setStoreDirectory(int index, const QString &directory)
{
    if (index < 0 || index >= static_cast<int>(m_stores.size()))
        return;
    if (ServerStoreForm *server = newServerNamed(m_stores[index].name))
        server->location = directory;
    m_stores[index].directory = directory;
}

QString MailSetupForm::problem() const
{
    if (m_stores.empty())
        return u"Add at least one store."_s;
    QSet<QString> names;
    for (const LocalStore &store : m_stores) {
        const QString name = store.name.trimmed();
        if (name.isEmpty())
            return u"Every store needs a name."_s;
        if (name != store.name)
            return u"The store name \"%1\" begins or ends with a blank."_s.arg(store.name);
        if (names.contains(name.toCaseFolded()))
            return u"Two stores are named \"%1\"."_s.arg(name);
        names.insert(name.toCaseFolded());
        if (store.directory.trimmed().isEmpty())
            return u"The store \"%1\" needs a folder."_s.arg(name);
    }
    if (!names.contains(m_draftsStore.toCaseFolded()))
        return u"Choose the store that receives new drafts."_s;
    // A server's store is a cache of what the server holds: a draft there would be lost.
    for (const LocalStore &store : m_stores) {
        if (store.name == m_draftsStore && IsRemoteLocation(store.directory))
            return u"New drafts need a folder on this computer, not a store on a server."_s;
    }
    for (const ServerStoreForm &server : m_newServers) {
        if (const QString why = server.problem(); !why.isEmpty())
            return why;
    }
    return transportProblem();
}

QString MailSetupForm::transportProblem() const
{
    for (const auto &[value, per] : {std::pair{&m_transport.maxPerMinute, u"minute"_s},
                                     std::pair{&m_transport.maxPerHour, u"hour"_s}}) {
        int limit = 0;
        if (!RateLimits::parseLimit(value->trimmed(), limit))
            return u"The most messages per %1 must be a count (empty or 0: no limit)."_s.arg(per);
    }
    // The sender goes into message headers: no line breaks, one address.
    const QString from = m_transport.from.trimmed();
    if (!from.isEmpty() &&
        (!from.contains(u'@') || from.contains(u'\r') || from.contains(u'\n') ||
         from.contains(u' ') || from.contains(u'<') || from.contains(u'>') || from.contains(u',')))
        return u"The sender address \"%1\" is not a single mail address."_s.arg(from);
    switch (m_transport.kind) {
    case TransportKind::None:
        return {};
    case TransportKind::Smtp:
        if (m_transport.host.trimmed().isEmpty())
            return u"Enter the SMTP server."_s;
        if (m_transport.port < 1 || m_transport.port > 65535)
            return u"The port must be from 1 to 65535."_s;
        if (!m_transport.passwordCommand.trimmed().isEmpty() &&
            m_transport.user.trimmed().isEmpty())
            return u"A password command needs a user name."_s;
        return {};
    case TransportKind::Sendmail:
        if (m_transport.sendmailCommand.trimmed().isEmpty())
            return u"Enter the sendmail command."_s;
        return {};
    }
    return {};
}

bool MailSetupForm::canSendTest() const
{
    return m_transport.kind != TransportKind::None && !m_transport.from.trimmed().isEmpty() &&
           transportProblem().isEmpty();
}

} // namespace corvel
