#pragma once

#include "delivery/DeliveryReport.h"
#include "delivery/OutboxState.h"
#include "delivery/RateLimits.h"
#include "delivery/RetryPolicy.h"
#include "delivery/SendsLog.h"
#include "message/MailTransport.h"
#include "message/MaildirFolder.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace corvel {

class LocalMailbox;
class LocalStoreTree;
struct OutboxContents;
struct PreparedMessage;
class PreparedReadAhead;

// One pass over the Outbox of every store: the queued messages that are due go, oldest first,
// through one transport (so one connection), in batches. Before a batch leaves, its names are
// written durably to the Outbox's sending list, and its journal notes when each message's data
// leaves and what its reply decided (see OutboxState). Each recipient's outcome is kept across
// passes: one delivered is never tried again, one refused for good is reported and logged,
// one put off is tried again alone. A message every recipient has had an answer for is renamed
// into Sent Items with the seen flag (or stays failed when none took it); after the batch both
// folders are fsynced, the outcomes recorded and the list removed. A file lock keeps two
// programs off one Outbox.
// With rate limits, every message whose data goes is recorded in its Outbox's sends log first,
// and before each message the sends of every Outbox in the last minute and hour (and the
// recipients of the last day) are counted:
// when a limit is reached the pass ends, and nextDueMs() says when the next may go.
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
        int maxQueueDays = 5; // a recipient put off for longer is given up
        RateLimits limits;
        std::function<bool()> stopRequested;
        std::function<qint64()> nowMs; // empty: the clock
    };

    // A null transport means none is set up: nothing is sent and `noTransport` says why.
    OutboxDelivery(const LocalMailbox &mailbox, MailTransport *transport, QString noTransport,
                   Options options);
    ~OutboxDelivery();

    [[nodiscard]] DeliveryReport run();
    // After run: when the earliest deferred message is due, or a rate limit lets the next go
    // (ms since the epoch), 0 for none.
    [[nodiscard]] qint64 nextDueMs() const { return m_nextDueMs; }

private:
    struct Folder;

    // The sends of every Outbox but the one being delivered, for the rate limits.
    void readOtherSends(DeliveryReport &report);
    // This Outbox's sends log, read under its lock; false when it cannot be used.
    bool openSendsLog(const QString &directory, DeliveryReport &report);
    // False when a rate limit holds the next message (to that many recipients) back (the
    // report says until when).
    bool withinLimits(DeliveryReport &report, int recipients = 1);
    bool noteSend();
    bool deliverFolder(const std::shared_ptr<LocalStoreTree> &tree, const QString &directory,
                       DeliveryReport &report);
    [[nodiscard]] std::vector<MaildirFolder::Entry> selectDue(Folder &folder,
                                                              DeliveryReport &report);
    bool deliverBatches(Folder &folder, const std::vector<MaildirFolder::Entry> &due,
                        DeliveryReport &report);
    // False: the transport cannot be used now, and the rest of the queue waits.
    // `next`: the message that follows in the batch, whose envelope may go early.
    bool deliverMessage(Folder &folder, const MaildirFolder::Entry &entry,
                        const MaildirFolder::Entry *next, DeliveryReport &report);
    // Only while deliverBatches runs (it makes the read-ahead).
    [[nodiscard]] PreparedMessage takePrepared(const MaildirFolder::Entry &entry);
    void expectNext(const Folder &folder, const MaildirFolder::Entry &next);
    [[nodiscard]] std::optional<SendOutcome> sendToOwed(Folder &folder, const QString &unique,
                                                        const PreparedMessage &prepared,
                                                        DeliveryReport &report);
    void settle(OutboxState::Record &record, const PreparedMessage &prepared,
                const SendOutcome &last, DeliveryReport::Message &line);
    // Counts a temporary failure; true when the message has waited too long and the owed
    // recipients are given up.
    bool putOff(OutboxState::Record &record, const QStringList &owed, const QString &reply);
    void fileInSentItems(Folder &folder, const MaildirFolder::Entry &entry,
                         DeliveryReport::Message &line, DeliveryReport &report);
    void fileSentMessages(Folder &folder, DeliveryReport &report);
    [[nodiscard]] QStringList finishBatch(Folder &folder);
    void noteDue(qint64 dueMs);
    [[nodiscard]] bool stopRequested() const;
    [[nodiscard]] qint64 now() const;

    const LocalMailbox &m_mailbox;
    MailTransport *m_transport;
    QString m_noTransport;
    Options m_options;
    qint64 m_nextDueMs = 0;
    std::map<QString, std::vector<qint64>> m_sendsByOutbox; // for the limits: read at the start
    std::unique_ptr<SendsLog> m_sendsLog;                   // of the Outbox in hand
    std::map<QString, std::vector<RateLimits::Send>> m_recipientsByOutbox;
    std::vector<qint64> m_sentMs;          // every Outbox's sends the limits remember, sorted
    std::vector<RateLimits::Send> m_sends; // the same with their recipients
    int m_transactionRecipients = 1;       // of the transaction in hand
    QString m_cannotCount;                 // a sends log that cannot be read: nothing goes
    QString m_nextUnique;                  // the message read ahead for expectNext
    std::unique_ptr<PreparedMessage> m_nextPrepared;
    std::unique_ptr<PreparedReadAhead> m_readAhead; // while a folder's messages go
};

} // namespace corvel
