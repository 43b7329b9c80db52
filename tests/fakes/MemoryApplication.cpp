#include "fakes/MemoryApplication.h"

#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"

using namespace Qt::StringLiterals;

namespace corvel {

MemoryApplication::MemoryApplication()
    : m_session(std::make_shared<MemoryNamespace>())
{
}

MemoryApplication::MemoryApplication(std::shared_ptr<MemoryNamespace> session)
    : m_session(std::move(session))
{
}

std::shared_ptr<OlNamespace> MemoryApplication::GetNamespace(const QString &type)
{
    if (m_getNamespaceFails)
        throw OutlookError(u"The mail session cannot be opened."_s);
    if (type.compare(u"MAPI"_s, Qt::CaseInsensitive) != 0)
        throw OutlookError(u"The session type \"%1\" is not supported."_s.arg(type));
    return m_session;
}

std::shared_ptr<OlItem> MemoryApplication::CreateItem(int itemType)
{
    if (itemType != 0)
        throw OutlookError(u"Items of type %1 cannot be created."_s.arg(itemType));
    return std::make_shared<MemoryItem>(m_session, olMailItem);
}

} // namespace corvel
