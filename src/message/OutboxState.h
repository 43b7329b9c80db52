#pragma once

#include "message/MailTransport.h"
#include "support/Result.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace corvel {

// What the delivery agent knows of the messages of one Outbox, kept beside them so that it
// survives a restart. The messages stay plain Maildir files (queued: no flag); the state lives
// in two small files in the Outbox directory itself, where Maildir readers ignore regular files
// (a dot-directory would be taken for a Maildir++ sub-folder):
//
//   corvel-outbox.state    JSON, replaced atomically: per unique name the state ("queued" with
//                          attempts, or "failed" or "held"), the reason, the time of the next
//                          attempt, the recipients a server refused and, after a partial
//                          delivery, the recipients still to be reached. A message without a
//                          record is queued and has never been tried.
//   corvel-outbox.sending  the unique names of the batch in hand, written (and fsynced) before
//                          the first of them goes to the server and removed once their outcomes
//                          are recorded. A name still listed there at start-up, whose message is
//                          still in the Outbox, may have reached the server: it becomes held and
//                          is never sent again without the user's word.
//
// Accepted messages leave the Outbox for Sent Items, so they need no record here.
class OutboxState
{
public:
    enum class State
    {
        Queued,
        Failed,
        Held
    };
    struct Record
    {
        State state = State::Queued;
        int attempts = 0;         // temporary failures so far
        qint64 nextAttemptMs = 0; // ms since the epoch; 0: at once
        QString reason;
        std::vector<RecipientRefusal> refused;
        // Recipients still to be reached after a server took the message for the others
        // and put these off; empty: every recipient the message names.
        QStringList remaining;
    };

    // Recover: names left in the sending list become held, and the files are rewritten.
    enum class Recovery
    {
        Recover,
        ReadOnly
    };

    explicit OutboxState(QString folderDirectory);

    // Reads the records. `present`: the unique names now in the folder (records of messages
    // gone are dropped).
    [[nodiscard]] Status load(const QSet<QString> &present, Recovery recovery = Recovery::Recover);
    // Writes the records when they changed.
    [[nodiscard]] Status save();

    [[nodiscard]] const Record *find(const QString &unique) const;
    [[nodiscard]] Record &edit(const QString &unique);
    void erase(const QString &unique);
    [[nodiscard]] const QHash<QString, Record> &records() const { return m_records; }

    [[nodiscard]] Status beginSending(const QStringList &uniques);
    [[nodiscard]] Status endSending();

    [[nodiscard]] static QString stateName(State state);
    [[nodiscard]] static QString stateFileName();
    [[nodiscard]] static QString sendingFileName();
    [[nodiscard]] static QString lockFileName();

private:
    QString m_directory;
    QHash<QString, Record> m_records;
    bool m_dirty = false;
};

} // namespace corvel
