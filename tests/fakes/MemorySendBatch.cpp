#include "fakes/MemorySendBatch.h"

#include "fakes/MemoryItem.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

MemorySendBatch::MemorySendBatch(std::weak_ptr<MemoryNamespace> session)
    : m_session(std::move(session))
{
}

void MemorySendBatch::add(const std::shared_ptr<OlItem> &message)
{
    const auto item = std::dynamic_pointer_cast<MemoryItem>(message);
    if (!item)
        throw OutlookError(u"Only messages of this session can be queued here."_s);
    auto [subject, body, to, cc, bcc] = item->sendable();
    if (MemoryNamespace::open(m_session)->m_refusedTo.contains(to))
        throw OutlookError(u"The message is refused: a header cannot be sent."_s);
    m_pending.push_back({subject, body, to, cc, bcc, {}});
}

std::vector<OlSendBatch::Queued> MemorySendBatch::commit()
{
    const auto session = MemoryNamespace::open(m_session);
    std::vector<MemoryNamespace::SentMessage> pending = std::move(m_pending);
    m_pending.clear();
    if (pending.empty())
        return {};
    ++session->m_commits;
    if (session->m_commitsFail)
        throw OutlookError(u"The Outbox cannot be synced."_s);
    std::vector<Queued> ids;
    for (auto &message : pending) {
        message.outboxId = u"outbox-"_s + session->newEntryId();
        ids.push_back({message.outboxId, {}});
        session->recordSent(std::move(message));
    }
    return ids;
}

MemoryQueuedStates::MemoryQueuedStates(std::weak_ptr<MemoryNamespace> session)
    : m_session(std::move(session))
{
}

std::vector<QueuedMessageStates::Message>
MemoryQueuedStates::states(const QStringList &outboxIds) const
{
    const auto session = MemoryNamespace::open(m_session);
    QSet<QString> queued;
    for (const auto &sent : session->sent())
        queued.insert(sent.outboxId);
    std::vector<Message> result;
    for (const QString &id : outboxIds)
        result.push_back({id, queued.contains(id) ? State::Queued : State::Gone, {}, {}});
    return result;
}

QString MemoryQueuedStates::whyNotDelivering() const
{
    return {};
}

} // namespace corvel
