#include "session/OlSendBatch.h"

#include "session/OutlookSession.h"

namespace corvel {

void OlSendBatch::addCopy(const std::shared_ptr<OlItem> &letter, CopyRecipients which,
                          const QString &addresses, const CopyChanges &changes)
{
    add(copyOf(letter, which, addresses, changes));
}

std::shared_ptr<OlItem> OlSendBatch::copyOf(const std::shared_ptr<OlItem> &letter,
                                            CopyRecipients which, const QString &addresses,
                                            const CopyChanges &changes)
{
    std::shared_ptr<OlItem> copy = letter->Copy();
    if (changes.body || changes.htmlBody) {
        const QString html = changes.htmlBody.value_or(copy->HTMLBody());
        copy->setBody(changes.body.value_or(copy->Body()));
        copy->setHTMLBody(html);
    }
    for (const QString &path : changes.attachments)
        copy->AddAttachment(path);
    for (const auto &[name, value] : changes.headers)
        copy->setHeader(name, value);
    switch (which) {
    case CopyRecipients::To:
        copy->setTo(addresses);
        break;
    case CopyRecipients::CC:
        copy->setCC(addresses);
        break;
    case CopyRecipients::BCC:
        copy->setBCC(addresses);
        break;
    }
    return copy;
}

void ItemByItemSendBatch::add(const std::shared_ptr<OlItem> &message)
{
    m_items.push_back(message);
}

std::vector<OlSendBatch::Queued> ItemByItemSendBatch::commit()
{
    std::vector<Queued> results;
    results.reserve(m_items.size());
    for (const auto &item : m_items) {
        try {
            item->Send();
            results.push_back({});
        } catch (const OutlookError &error) {
            results.push_back({{}, error.message()});
        }
    }
    m_items.clear();
    return results;
}

std::unique_ptr<OlSendBatch> OlNamespace::createSendBatch()
{
    return std::make_unique<ItemByItemSendBatch>();
}

std::shared_ptr<QueuedMessageStates> OlNamespace::queuedMessageStates()
{
    return nullptr;
}

void OlSendBatch::setNotBefore(qint64 notBeforeMs)
{
    if (notBeforeMs > 0)
        throw OutlookError(QStringLiteral("This mail session cannot send messages later."));
}

void OlSendBatch::saveTo(const QString &)
{
    throw OutlookError(QStringLiteral("This mail session cannot save messages as files."));
}

} // namespace corvel
