#pragma once

#include "message/MailTransport.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

// What one pass over the Outboxes did, message by message.
struct DeliveryReport
{
    enum class Outcome
    {
        Delivered,
        Deferred,
        Failed,
        Held
    };
    struct Message
    {
        QString outbox; // the folder's directory
        QString unique;
        QString subject;
        Outcome outcome = Outcome::Deferred;
        QString reason;
        std::vector<RecipientRefusal> refused; // for a delivered message: who did not get it
    };

    std::vector<Message> messages;
    QStringList problems; // why a pass stopped early or could not start
    int waiting = 0;      // queued messages not tried (no transport, stopped, not due yet)
    // A rate limit held messages back: when the next may go (ms since the epoch), and which.
    qint64 limitedUntilMs = 0;
    QString limit;
    // Left in the Outboxes after the pass, whether tried in it or before.
    int held = 0;
    int failed = 0;
    int deferred = 0;

    // Every message reached every recipient: none tried failed, none is left waiting, held,
    // failed or deferred.
    [[nodiscard]] bool complete() const
    {
        if (!problems.isEmpty() || waiting > 0 || held > 0 || failed > 0 || deferred > 0)
            return false;
        for (const Message &m : messages) {
            if (m.outcome != Outcome::Delivered || !m.refused.empty())
                return false;
        }
        return true;
    }
    [[nodiscard]] static QString outcomeName(Outcome outcome)
    {
        switch (outcome) {
        case Outcome::Delivered:
            return QStringLiteral("delivered");
        case Outcome::Deferred:
            return QStringLiteral("deferred");
        case Outcome::Failed:
            return QStringLiteral("failed");
        case Outcome::Held:
            return QStringLiteral("held");
        }
        return {};
    }
};

} // namespace corvel
