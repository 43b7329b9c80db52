#include "session/LocalApplication.h"

#include "session/LocalMessageItem.h"

using namespace Qt::StringLiterals;

namespace corvel {

LocalApplication::LocalApplication(const std::vector<LocalStore> &stores,
                                   LocalNamespace::AccountLookup account,
                                   const CRegSettings *settings)
    : m_session(std::make_shared<LocalNamespace>(stores, std::move(account), settings))
{
}

std::shared_ptr<OlNamespace> LocalApplication::GetNamespace(const QString &type)
{
    if (type.compare(u"MAPI"_s, Qt::CaseInsensitive) != 0)
        throw OutlookError(u"The session type \"%1\" is not supported."_s.arg(type));
    // A store whose folder cannot be listed fails the session here, as a profile that cannot
    // be opened would, rather than cutting the folder tree short while it is being built.
    for (const auto &store : m_session->Folders())
        (void)store->Folders();
    return m_session;
}

std::shared_ptr<OlItem> LocalApplication::CreateItem(int itemType)
{
    if (itemType != 0)
        throw OutlookError(u"Only mail messages (item type 0) can be created."_s);
    return LocalMessageItem::create(m_session->mailbox());
}

} // namespace corvel
