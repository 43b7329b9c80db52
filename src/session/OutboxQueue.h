#pragma once

#include "message/OutboxState.h"

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
        QString state; // "queued", "deferred", "failed", "held", or "sending" (in hand now)
        QString reason;
        int attempts = 0;
        qint64 nextAttemptMs = 0;
        std::vector<RecipientRefusal> refused;
    };

    explicit OutboxQueue(const LocalMailbox &mailbox);

    // Throws OutlookError when an Outbox cannot be read.
    [[nodiscard]] std::vector<Message> messages() const;
    // Back to queued, due at once. Fails when no Outbox holds it, or while a delivery is running.
    [[nodiscard]] Status release(const QString &unique) const;

private:
    const LocalMailbox &m_mailbox;
};

} // namespace corvel
