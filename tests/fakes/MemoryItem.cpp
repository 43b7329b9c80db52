#include "fakes/MemoryItem.h"

#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"

using namespace Qt::StringLiterals;

namespace corvel {

MemoryItem::MemoryItem(std::weak_ptr<MemoryNamespace> session, int itemClass)
    : m_session(std::move(session))
    , m_class(itemClass)
{
}

void MemoryItem::checkReadable() const
{
    if (m_propertiesFail)
        throw OutlookError(u"The properties of the item cannot be read."_s);
}

ContactCard MemoryItem::Card() const
{
    checkReadable();
    if (m_class != olContactItem)
        throw OutlookError(u"A mail message has no contact card."_s);
    return m_card;
}

void MemoryItem::Display()
{
    if (m_removed)
        throw OutlookError(u"The item no longer exists."_s);
}

std::shared_ptr<MemoryNamespace> MemoryItem::sessionToSaveIn() const
{
    if (m_removed)
        throw OutlookError(u"The item no longer exists."_s);
    return isSaved() ? nullptr : MemoryNamespace::open(m_session);
}

void MemoryItem::Save()
{
    if (const auto session = sessionToSaveIn())
        session->draftsFolder()->adopt(shared_from_this(), session->newEntryId());
}

void MemoryItem::saveIn(const OlFolder &folder)
{
    const auto session = sessionToSaveIn();
    if (!session)
        return;
    const auto target = std::dynamic_pointer_cast<MemoryFolder>(
        session->GetFolderFromID(folder.EntryID(), folder.StoreID()));
    if (!target)
        throw OutlookError(u"The folder to save the message in is gone."_s);
    target->adopt(shared_from_this(), session->newEntryId());
}

std::shared_ptr<OlItem> MemoryItem::Copy()
{
    checkReadable();
    // Unsaved and unattached, so that editing the copy can never reach the original.
    auto copy = std::make_shared<MemoryItem>(*this);
    copy->m_entryId.clear();
    copy->m_removed = false;
    return copy;
}

std::tuple<QString, QString, QString, QString, QString> MemoryItem::sendable() const
{
    if (m_class != olMailItem)
        throw OutlookError(u"Only messages can be sent."_s);
    if (m_to.trimmed().isEmpty() && m_cc.trimmed().isEmpty() && m_bcc.trimmed().isEmpty())
        throw OutlookError(u"The message has no recipients."_s);
    return {m_subject, m_body, m_to, m_cc, m_bcc};
}

void MemoryItem::Send()
{
    auto [subject, body, to, cc, bcc] = sendable();
    MemoryNamespace::open(m_session)->recordSent({subject, body, to, cc, bcc, {}});
}

} // namespace corvel
