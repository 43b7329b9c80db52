#include "session/LocalNamespace.h"

#include "session/LocalFolder.h"
#include "session/LocalItemCatalog.h"
#include "session/LocalMailbox.h"
#include "session/LocalSendBatch.h"
#include "session/LocalStoreTree.h"
#include "session/MaildirSource.h"
#include "session/VCardFolderSource.h"
#include "support/CRegSettings.h"

#include <QFile>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

LocalNamespace::Account systemAccount()
{
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return {QString::fromLocal8Bit(found->pw_gecos ? found->pw_gecos : ""),
            QString::fromLocal8Bit(found->pw_name ? found->pw_name : "")};
}

// "Transport"/"From" when set, else the account's name and login@hostname.
QString senderOf(const CRegSettings *settings, const LocalNamespace::AccountLookup &account)
{
    if (settings) {
        const QString from = settings->getSetting(u"Transport"_s, u"From"_s, {}).trimmed();
        if (!from.isEmpty())
            return from;
    }
    const LocalNamespace::Account user = account();
    const QString host = QSysInfo::machineHostName();
    const QString address = (user.login.isEmpty() ? u"user"_s : user.login) + u'@' +
                            (host.isEmpty() ? u"localhost"_s : host);
    QString name = user.fullName.section(u',', 0, 0).trimmed();
    if (name.isEmpty())
        return address;
    name.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u"\"%1\" <%2>"_s.arg(name, address);
}

} // namespace

LocalNamespace::LocalNamespace(const std::vector<LocalStore> &stores, AccountLookup account,
                               const CRegSettings *settings)
    : m_account(account ? std::move(account) : AccountLookup(systemAccount))
{
    for (const auto &store : stores)
        m_trees.push_back(std::make_shared<LocalStoreTree>(store));
    m_catalog = std::make_shared<LocalItemCatalog>(m_trees);
    m_mailbox = std::make_shared<LocalMailbox>(
        m_trees, [settings, lookup = m_account] { return senderOf(settings, lookup); });
    m_catalog->setMessageSource(std::make_unique<MaildirSource>(m_mailbox));
    m_catalog->setContactSource(std::make_unique<VCardFolderSource>());
}

LocalNamespace::~LocalNamespace() = default;

QString LocalNamespace::CurrentUser()
{
    const Account account = m_account();
    // The account's comment field is "Full Name,room,work phone,home phone,other".
    QString name = account.fullName.section(u',', 0, 0).trimmed();
    if (name.isEmpty())
        name = account.login.trimmed();
    if (name.isEmpty())
        throw OutlookError(u"The name of the current user cannot be found."_s);
    return name;
}

std::vector<std::shared_ptr<OlFolder>> LocalNamespace::Folders()
{
    std::vector<std::shared_ptr<OlFolder>> folders;
    for (const auto &tree : m_trees)
        folders.push_back(std::make_shared<LocalFolder>(tree, tree->root(), m_catalog));
    return folders;
}

std::shared_ptr<OlFolder> LocalNamespace::GetFolderFromID(const QString &entryId,
                                                          const QString &storeId)
{
    for (const auto &tree : m_trees) {
        if (tree->storeId() != storeId)
            continue;
        if (auto folder = tree->find(entryId))
            return std::make_shared<LocalFolder>(tree, std::move(*folder), m_catalog);
        throw OutlookError(u"A folder of the store \"%1\" cannot be found: it may have been "
                           "deleted or moved."_s.arg(tree->store().name));
    }
    throw OutlookError(u"The folder belongs to a store that is not open."_s);
}

std::shared_ptr<OlItem> LocalNamespace::GetItemFromID(const QString &entryId)
{
    return m_catalog->item(entryId);
}

std::unique_ptr<OlSendBatch> LocalNamespace::createSendBatch()
{
    return std::make_unique<LocalSendBatch>(m_mailbox);
}

std::shared_ptr<QueuedMessageStates> LocalNamespace::queuedMessageStates()
{
    return m_queuedStates ? m_queuedStates() : OlNamespace::queuedMessageStates();
}

} // namespace corvel
