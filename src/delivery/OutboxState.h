#pragma once

#include "message/MailTransport.h"
#include "support/Result.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace corvel {

// What the delivery agent knows of the messages of one Outbox, kept beside them so that it
// survives a restart. The messages stay plain Maildir files (queued: no flag); the state lives
// in small files in the Outbox directory itself, where Maildir readers ignore regular files
// (a dot-directory would be taken for a Maildir++ sub-folder):
//
//   corvel-outbox.state    JSON, replaced atomically: per unique name the state, the reason,
//                          the attempts and the time of the next, and what became of each
//                          recipient so far (delivered, refused for good, or put off). A
//                          message without a record is queued and has never been tried.
//   corvel-outbox.sending  the batch in hand: a first line naming the process, the boot and
//                          the sync rule, the unique names (written and fsynced before the
//                          first of them goes), then a journal appended as the batch goes:
//                          "> NAME" just before a message's data leaves, "= NAME {record}" once
//                          its reply is read and its outcome for the pass known ("~ NAME
//                          {record}" when a further transaction for it follows at once).
//                          Removed once the outcomes are in the state file.
//                          Data leaves only for messages up to the name of the last "+ NAME"
//                          line, and that line is fsynced (with every line before it) first;
//                          when a message's data would leave beyond it, a new "+" line lets
//                          the next `journalSyncEvery` names of the list go. So one fsync
//                          serves that many messages, and makes their outcomes durable too.
//
// After an interruption, a listed message still in the Outbox takes the outcome its journal
// recorded; one whose data left without a reply read is held, and never sent again without
// the user's word; one whose data never left goes out as usual. Appended lines survive the
// death of the process, so after a crash of the program the journal is exact. After a restart
// of the machine (another boot) the lines since the last fsync may be lost: a listed message
// with a final outcome takes it, one beyond the last "+" line read never went and goes as
// usual, and every other one (at most `journalSyncEvery`, the messages after the last outcome
// made durable) is held. A list of an earlier version, without the sync rule, is held whole.
//
// Accepted messages leave the Outbox for Sent Items, so they need no record there.
class OutboxState
{
public:
    enum class State
    {
        Queued,
        Failed,
        Held,
        Sent // accepted for every recipient owed; still to be moved to Sent Items
    };
    struct Recipient
    {
        enum class Outcome
        {
            Delivered,
            Refused, // for good
            PutOff   // a temporary refusal: still owed
        };
        QString address;
        Outcome outcome = Outcome::PutOff;
        QString reply;
    };
    struct Record
    {
        State state = State::Queued;
        int attempts = 0;         // temporary failures so far
        qint64 nextAttemptMs = 0; // ms since the epoch; 0: at once
        qint64 firstDeferMs = 0;  // when it was first put off; 0: never
        QString reason;
        std::vector<Recipient> recipients; // the latest outcome of each recipient tried
        // Written by earlier versions: after a partial delivery, the recipients still owed
        // (every other one had it).
        QStringList legacyRemaining;

        [[nodiscard]] const Recipient *recipient(const QString &address) const;
        // Delivered or refused for good: never tried again.
        [[nodiscard]] bool settled(const QString &address) const;
        [[nodiscard]] bool anyDelivered() const;
        void note(const QString &address, Recipient::Outcome outcome, const QString &reply);
        // The permanent refusals, as reported and logged.
        [[nodiscard]] std::vector<RecipientRefusal> refusals() const;
    };

    enum class Recovery
    {
        Recover, // outcomes of an interrupted batch taken in, and the files rewritten
        Preview, // the same in memory only, when no delivery is running; nothing written
        ReadOnly // the records as they are
    };

    explicit OutboxState(QString folderDirectory);
    ~OutboxState();
    OutboxState(const OutboxState &) = delete;
    OutboxState &operator=(const OutboxState &) = delete;
    OutboxState(OutboxState &&other) noexcept;
    OutboxState &operator=(OutboxState &&) = delete;

    // Reads the records. `present`: the unique names now in the folder (records of messages
    // gone are dropped).
    [[nodiscard]] Status load(const QSet<QString> &present, Recovery recovery = Recovery::Recover);
    // Writes the records when they changed.
    [[nodiscard]] Status save();

    [[nodiscard]] const Record *find(const QString &unique) const;
    [[nodiscard]] Record &edit(const QString &unique);
    void erase(const QString &unique);
    [[nodiscard]] const QHash<QString, Record> &records() const { return m_records; }
    // The names of a batch another process is delivering now (after load).
    [[nodiscard]] const QSet<QString> &inHand() const { return m_inHand; }

    // How many messages of a batch one fsync of the journal lets go (see above).
    static constexpr int journalSyncEvery = 100;

    [[nodiscard]] Status beginSending(const QStringList &uniques);
    // Journal of the batch: the data of the message is about to leave; false means it must not.
    [[nodiscard]] bool noteDataLeaving(const QString &unique);
    // Journal of the batch: the message's record as its reply left it; `more` when a further
    // transaction for the same message follows at once.
    [[nodiscard]] bool noteOutcome(const QString &unique, bool more = false);
    [[nodiscard]] Status endSending();

    [[nodiscard]] static QString stateName(State state);
    [[nodiscard]] static QString outcomeName(Recipient::Outcome outcome);
    [[nodiscard]] static QString stateFileName();
    [[nodiscard]] static QString sendingFileName();
    [[nodiscard]] static QString lockFileName();

private:
    void recoverBatch(const QByteArray &journal, const QSet<QString> &present, bool maybeLive);
    bool appendJournal(const QByteArray &line);
    [[nodiscard]] QByteArray serialized() const;

    QString m_directory;
    QHash<QString, Record> m_records;
    QSet<QString> m_inHand;
    QByteArray m_written; // the state file as read or last written
    bool m_dirty = false;
    int m_journal = -1;
    QStringList m_batch;               // the names of the batch in hand, in order
    QHash<QString, qsizetype> m_order; // their places in it
    qsizetype m_allowed = -1;          // data may leave for names up to this place
};

} // namespace corvel
