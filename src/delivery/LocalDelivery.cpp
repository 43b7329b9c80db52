#include "delivery/LocalDelivery.h"

#include "delivery/DeliveryAgent.h"
#include "delivery/OutboxMessageStates.h"
#include "session/LocalMailbox.h"
#include "session/LocalNamespace.h"
#include "support/CRegSettings.h"

namespace corvel {

LocalDelivery::LocalDelivery(LocalNamespace &session, const CRegSettings *settings)
    : m_mailbox(session.mailbox())
{
    const std::function<TransportSettings()> transport = [settings] {
        return settings ? TransportSettings::read(*settings) : TransportSettings{};
    };
    m_agent = std::make_unique<DeliveryAgent>(m_mailbox, transport);
    m_mailbox->setQueuedListener([agent = m_agent.get()] {
        agent->start();
        agent->wake();
    });
    // Outlives the delivery harmlessly: it reads only the Outboxes and the settings.
    session.setQueuedMessageStates([mailbox = m_mailbox, transport] {
        return std::make_shared<OutboxMessageStates>(mailbox, transport);
    });
}

LocalDelivery::~LocalDelivery()
{
    m_mailbox->setQueuedListener({});
    // Before the folders it works on go: the message in hand finishes, every outcome is kept.
    m_agent->stop();
}

} // namespace corvel
