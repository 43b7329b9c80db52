#include "outlook/LocalApplication.h"

using namespace Qt::StringLiterals;

namespace corvel {

LocalApplication::LocalApplication(const std::vector<LocalStore> &stores,
                                   LocalNamespace::AccountLookup account)
    : m_session(std::make_shared<LocalNamespace>(stores, std::move(account)))
{
}

std::shared_ptr<OlNamespace> LocalApplication::GetNamespace(const QString &type)
{
    if (type.compare(u"MAPI"_s, Qt::CaseInsensitive) != 0)
        throw OutlookError(u"The session type \"%1\" is not supported."_s.arg(type));
    return m_session;
}

std::shared_ptr<OlItem> LocalApplication::CreateItem(int itemType)
{
    Q_UNUSED(itemType);
    throw OutlookError(u"Creating messages is not available yet."_s);
}

} // namespace corvel
