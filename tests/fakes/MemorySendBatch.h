#pragma once

#include "fakes/MemoryNamespace.h"
#include "session/OlSendBatch.h"
#include "session/QueuedMessageStates.h"

#include <memory>
#include <vector>

namespace corvel {

// The in-memory session's send batch: a message is checked as Send checks it when added, and
// recorded as sent only by a commit, which the session can make fail.
class MemorySendBatch : public OlSendBatch
{
public:
    explicit MemorySendBatch(std::weak_ptr<MemoryNamespace> session);

    void add(const std::shared_ptr<OlItem> &message) override;
    [[nodiscard]] std::size_t size() const override { return m_pending.size(); }
    [[nodiscard]] std::vector<Queued> commit() override;

private:
    std::weak_ptr<MemoryNamespace> m_session;
    std::vector<MemoryNamespace::SentMessage> m_pending;
};

// Queued while the in-memory session holds a message, gone otherwise.
class MemoryQueuedStates : public QueuedMessageStates
{
public:
    explicit MemoryQueuedStates(std::weak_ptr<MemoryNamespace> session);

    [[nodiscard]] std::vector<Message> states(const QStringList &outboxIds) const override;
    [[nodiscard]] QString whyNotDelivering() const override;

private:
    std::weak_ptr<MemoryNamespace> m_session;
};

} // namespace corvel
