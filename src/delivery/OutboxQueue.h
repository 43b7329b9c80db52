#pragma once

#include "delivery/OutboxState.h"
#include "delivery/RateLimits.h"

#include <vector>

namespace corvel {

class LocalMailbox;

// The messages waiting in the Outboxes as the user sees them, and the user's word on a held or
// failed message: release it to be tried again.
class OutboxQueue
{
public:
    struct Message
    {
        QString outbox; // the folder's directory
        QString unique;
        QString path;
        QString subject;
        // "queued", "scheduled" (queued to go no earlier than nextAttemptMs), "deferred"
        // (queued after a temporary failure), "failed", "held", "sent"
        // (delivered, not yet moved to Sent Items) or "sending" (in a delivery running now).
        // A batch whose delivery was interrupted shows as the next pass will take it.
        QString state;
        QString reason;
        int attempts = 0;
        qint64 nextAttemptMs = 0;
        std::vector<RecipientRefusal> refused;          // for good
        std::vector<OutboxState::Recipient> recipients; // every recipient tried so far
    };

    // What the rate limits make of the next message now.
    struct RateHold
    {
        qint64 untilMs = 0; // when the next message may go; 0: at once
        QString limit;      // the limit that holds it back
        QString problem;    // a record of sends that cannot be read: nothing goes
    };

    explicit OutboxQueue(const LocalMailbox &mailbox);

    // Throws OutlookError when an Outbox cannot be read.
    // `nowMs` (0: the clock) tells scheduled messages from those due. A subject costs a read
    // of its file: callers that show none skip them (left empty).
    enum class Subjects
    {
        Read,
        Skipped
    };
    [[nodiscard]] std::vector<Message> messages(qint64 nowMs = 0,
                                                Subjects subjects = Subjects::Read) const;
    // Back to queued, due at once, for the recipients that have not had it (those refused or put
    // off are tried again; those delivered never). Fails when no Outbox holds it, or while a
    // delivery is running.
    [[nodiscard]] Status release(const QString &unique) const;
    // From the sends recorded in every Outbox; throws OutlookError as messages() does.
    [[nodiscard]] RateHold rateHold(const RateLimits &limits, qint64 nowMs) const;

private:
    const LocalMailbox &m_mailbox;
};

} // namespace corvel
