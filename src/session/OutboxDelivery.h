#pragma once

#include "message/DeliveryReport.h"
#include "message/RetryPolicy.h"

#include <functional>

namespace corvel {

class LocalMailbox;
class MailTransport;

// One pass over the Outbox of every store: the queued messages that are due go, oldest first,
// through one transport (so one connection), in batches. Before a batch leaves, its names are
// written durably to the Outbox's sending list; each accepted message is renamed into Sent Items
// with the seen flag, and after the batch both folders are fsynced, the outcomes recorded and
// the list removed (see OutboxState). A file lock keeps two programs off one Outbox.
// The envelope comes from the file's From, To, Cc and Bcc after the same checks as a message
// made here, so a message another program puts into the Outbox goes as well.
class OutboxDelivery
{
public:
    struct Options
    {
        bool ignoreBackoff = false; // deliver now: deferred messages go before their time
        int batchSize = 100;
        RetryPolicy retry;
        std::function<bool()> stopRequested;
        std::function<qint64()> nowMs; // empty: the clock
    };

    // A null transport means none is set up: nothing is sent and `noTransport` says why.
    OutboxDelivery(const LocalMailbox &mailbox, MailTransport *transport, QString noTransport,
                   Options options);

    [[nodiscard]] DeliveryReport run();
    // After run: when the earliest deferred message is due (ms since the epoch), 0 for none.
    [[nodiscard]] qint64 nextDueMs() const { return m_nextDueMs; }

private:
    struct Folder;
    bool deliverFolder(Folder &folder, DeliveryReport &report);
    [[nodiscard]] qint64 now() const;

    const LocalMailbox &m_mailbox;
    MailTransport *m_transport;
    QString m_noTransport;
    Options m_options;
    qint64 m_nextDueMs = 0;
};

} // namespace corvel
