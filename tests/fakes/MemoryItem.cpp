#include "fakes/MemoryItem.h"

#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace corvel {

MemoryItem::MemoryItem(std::weak_ptr<MemoryNamespace> session, int itemClass, QString entryId)
    : m_session(std::move(session))
    , m_class(itemClass)
    , m_entryId(std::move(entryId))
{
}

void MemoryItem::failOn(Failure failure, bool on)
{
    const unsigned bit = 1u << static_cast<unsigned>(failure);
    m_failures = on ? (m_failures | bit) : (m_failures & ~bit);
}

void MemoryItem::placeIn(const std::shared_ptr<MemoryFolder> &folder, const QString &entryId)
{
    m_parent = folder;
    m_entryId = entryId;
}

void MemoryItem::check(Failure failure) const
{
    if (m_failures & (1u << static_cast<unsigned>(failure))) {
        switch (failure) {
        case Failure::Properties:
            throw OutlookError(u"The properties of the item cannot be read."_s);
        case Failure::Display:
            throw OutlookError(u"The item cannot be opened."_s);
        case Failure::Save:
            throw OutlookError(u"The item cannot be saved."_s);
        case Failure::Send:
            throw OutlookError(u"The message cannot be sent."_s);
        }
    }
}

const QString &MemoryItem::readable(const QString &value) const
{
    check(Failure::Properties);
    return value;
}

QString MemoryItem::EntryID() const
{
    return readable(m_entryId);
}
QString MemoryItem::FileAs() const
{
    return readable(m_fileAs);
}
QString MemoryItem::Email1Address() const
{
    return readable(m_email1);
}
QString MemoryItem::Categories() const
{
    return readable(m_categories);
}
ContactCard MemoryItem::Card() const
{
    check(Failure::Properties);
    if (m_class != olContactItem)
        throw OutlookError(u"A mail message has no contact card."_s);
    return m_card;
}
QString MemoryItem::Subject() const
{
    return readable(m_subject);
}
QString MemoryItem::Body() const
{
    return readable(m_body);
}
QString MemoryItem::To() const
{
    return readable(m_to);
}
QString MemoryItem::CC() const
{
    return readable(m_cc);
}
QString MemoryItem::BCC() const
{
    return readable(m_bcc);
}

void MemoryItem::setSubject(const QString &subject)
{
    m_subject = subject;
}
void MemoryItem::setBody(const QString &body)
{
    m_body = body;
}
void MemoryItem::setTo(const QString &addresses)
{
    m_to = addresses;
}
void MemoryItem::setCC(const QString &addresses)
{
    m_cc = addresses;
}
void MemoryItem::setBCC(const QString &addresses)
{
    m_bcc = addresses;
}

void MemoryItem::Display()
{
    check(Failure::Display);
    if (m_removed)
        throw OutlookError(u"The item no longer exists."_s);
}

std::vector<MailAttachment> MemoryItem::Attachments() const
{
    check(Failure::Properties);
    std::vector<MailAttachment> list;
    for (const auto &[attachment, content] : m_attachments)
        list.push_back(attachment);
    return list;
}

void MemoryItem::AddAttachment(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw OutlookError(u"\"%1\" cannot be attached."_s.arg(path));
    const QByteArray content = file.readAll();
    m_attachments.push_back(
        {{QFileInfo(path).fileName(), u"application/octet-stream"_s, content.size()}, content});
}

void MemoryItem::RemoveAttachment(int index)
{
    if (index < 0 || std::size_t(index) >= m_attachments.size())
        throw OutlookError(u"The letter has no attachment %1."_s.arg(index + 1));
    m_attachments.erase(m_attachments.begin() + index);
}

void MemoryItem::Save()
{
    check(Failure::Save);
    if (m_removed)
        throw OutlookError(u"The item no longer exists."_s);
    if (isSaved())
        return;
    const auto session = m_session.lock();
    if (!session)
        throw OutlookError(u"The mail session has been closed."_s);
    const auto drafts = session->draftsFolder();
    drafts->adopt(shared_from_this(), session->newEntryId());
}

void MemoryItem::saveIn(const OlFolder &folder)
{
    check(Failure::Save);
    if (m_removed)
        throw OutlookError(u"The item no longer exists."_s);
    if (isSaved())
        return;
    const auto session = m_session.lock();
    if (!session)
        throw OutlookError(u"The mail session has been closed."_s);
    const auto target = std::dynamic_pointer_cast<MemoryFolder>(
        session->GetFolderFromID(folder.EntryID(), folder.StoreID()));
    if (!target)
        throw OutlookError(u"The folder to save the message in is gone."_s);
    target->adopt(shared_from_this(), session->newEntryId());
}

std::shared_ptr<OlItem> MemoryItem::Copy()
{
    check(Failure::Properties);
    // Unsaved and unattached, so that editing the copy can never reach the original.
    auto copy = std::make_shared<MemoryItem>(m_session, m_class);
    copy->m_fileAs = m_fileAs;
    copy->m_email1 = m_email1;
    copy->m_categories = m_categories;
    copy->m_card = m_card;
    copy->m_subject = m_subject;
    copy->m_body = m_body;
    copy->m_to = m_to;
    copy->m_cc = m_cc;
    copy->m_bcc = m_bcc;
    copy->m_from = m_from;
    copy->m_attachments = m_attachments;
    return copy;
}

std::tuple<QString, QString, QString, QString, QString> MemoryItem::sendable() const
{
    check(Failure::Send);
    if (m_class != olMailItem)
        throw OutlookError(u"Only messages can be sent."_s);
    if (m_to.trimmed().isEmpty() && m_cc.trimmed().isEmpty() && m_bcc.trimmed().isEmpty())
        throw OutlookError(u"The message has no recipients."_s);
    return {m_subject, m_body, m_to, m_cc, m_bcc};
}

void MemoryItem::Send()
{
    auto [subject, body, to, cc, bcc] = sendable();
    const auto session = m_session.lock();
    if (!session)
        throw OutlookError(u"The mail session has been closed."_s);
    session->recordSent({subject, body, to, cc, bcc, {}});
}

} // namespace corvel
