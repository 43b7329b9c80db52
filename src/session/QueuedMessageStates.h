#pragma once

#include "message/MailTransport.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

// What became of queued messages, asked by their Outbox ids.
class QueuedMessageStates
{
public:
    enum class State
    {
        Queued,
        Deferred, // queued again after a temporary failure
        Sending,
        Failed,
        Held,      // its fate is unknown; it waits for the user's word
        Delivered, // accepted by the transport (moved to Sent Items, or about to be)
        Gone       // in no Outbox and not in Sent Items: removed by the user
    };
    struct Message
    {
        QString outboxId;
        State state = State::Gone;
        QString reason;
        std::vector<RecipientRefusal> refused; // for good
    };

    virtual ~QueuedMessageStates() = default;

    // One entry per id, in the same order. Throws OutlookError when an Outbox cannot be read.
    [[nodiscard]] virtual std::vector<Message> states(const QStringList &outboxIds) const = 0;
    // Why nothing is being delivered (no transport set, or a setting that cannot be used);
    // empty when a transport is set.
    [[nodiscard]] virtual QString whyNotDelivering() const = 0;
};

} // namespace corvel
