#pragma once

#include "message/DeliveryReport.h"
#include "message/MailTransport.h"
#include "message/MaildirFolder.h"
#include "message/OutboxState.h"
#include "message/RetryPolicy.h"

#include <functional>
#include <memory>
#include <optional>

namespace corvel {

class LocalMailbox;
class LocalStoreTree;
struct OutboxContents;
struct PreparedMessage;

// One pass over the Outbox of every store: the queued messages that are due go, oldest first,
// through one transport (so one connection), in batches. Before a batch leaves, its names are
// written durably to the Outbox's sending list, and its journal notes when each message's data
// leaves and what its reply decided (see OutboxState). Each recipient's outcome is kept across
// passes: one delivered is never tried again, one refused for good is reported and logged,
// one put off is tried again alone. A message every recipient has had an answer for is renamed
// into Sent Items with the seen flag (or stays failed when none took it); after the batch both
// folders are fsynced, the outcomes recorded and the list removed. A file lock keeps two
// programs off one Outbox.
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
        std::function<bool()> stopRequested;
        std::function<qint64()> nowMs; // empty: the clock
    };

    // A null transport means none is set up: nothing is sent and `noTransport` says why.
    OutboxDelivery(const LocalMailbox &mailbox, MailTransport *transport, QString noTransport,
                   Options options);
    ~OutboxDelivery();

    [[nodiscard]] DeliveryReport run();
    // After run: when the earliest deferred message is due (ms since the epoch), 0 for none.
    [[nodiscard]] qint64 nextDueMs() const { return m_nextDueMs; }

private:
    struct Folder;

    bool deliverFolder(const std::shared_ptr<LocalStoreTree> &tree, const QString &directory,
                       DeliveryReport &report);
    [[nodiscard]] std::vector<MaildirFolder::Entry> selectDue(Folder &folder,
                                                              DeliveryReport &report);
    bool deliverBatches(Folder &folder, const std::vector<MaildirFolder::Entry> &due,
                        DeliveryReport &report);
    // False: the transport cannot be used now, and the rest of the queue waits.
    bool deliverMessage(Folder &folder, const MaildirFolder::Entry &entry, DeliveryReport &report);
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
};

} // namespace corvel
