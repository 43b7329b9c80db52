#pragma once

#include <functional>
#include <memory>

namespace corvel {

class CRegSettings;
class DeliveryAgent;
class LocalMailbox;
class LocalNamespace;

// The delivery of a local session's Outboxes for as long as it lives: the first message queued
// in a run starts the agent, one queued later wakes it, and the session answers what became of
// its queued messages. Ending it stops the agent, losing nothing.
class LocalDelivery
{
public:
    // `settings` (section "Transport") must outlive the session; without them nothing is
    // delivered and mail waits in the Outbox.
    LocalDelivery(LocalNamespace &session, const CRegSettings *settings);
    ~LocalDelivery();
    LocalDelivery(const LocalDelivery &) = delete;
    LocalDelivery &operator=(const LocalDelivery &) = delete;

    [[nodiscard]] DeliveryAgent &agent() { return *m_agent; }

private:
    std::shared_ptr<LocalMailbox> m_mailbox;
    std::unique_ptr<DeliveryAgent> m_agent;
};

} // namespace corvel
