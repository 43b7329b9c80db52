#pragma once

#include "delivery/TransportSettings.h"
#include "session/QueuedMessageStates.h"

#include <functional>
#include <memory>

namespace corvel {

class LocalMailbox;

// What became of messages of a local session's Outboxes: their records in the Outboxes, or,
// once delivered, their place in Sent Items (with the refusals logged beside them).
class OutboxMessageStates : public QueuedMessageStates
{
public:
    using SettingsLookup = std::function<TransportSettings()>;

    OutboxMessageStates(std::shared_ptr<LocalMailbox> mailbox, SettingsLookup settings);

    [[nodiscard]] std::vector<Message> states(const QStringList &outboxIds) const override;
    [[nodiscard]] QString whyNotDelivering() const override;

private:
    std::shared_ptr<LocalMailbox> m_mailbox;
    SettingsLookup m_settings;
};

} // namespace corvel
