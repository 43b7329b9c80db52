#pragma once

#include "merge/MailType.h"
#include "support/Result.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace corvel {

// The durable record of one group mail run, so that a run stopped midway (Cancel, a crash, a
// kill) can be continued without mailing anyone twice. Before a batch of messages is queued
// the recipients of each are written as "pending" lines and synced once; once the batch is
// queued, one "queued" line is written, synced with the next batch's. Pending lines without their
// "queued" after an interruption mean the messages may or may not be in the Outbox: those
// recipients are not mailed again, and are reported. A run that ends removes its journal. One
// journal per letter, recipients and addressing.
class RunJournal
{
public:
    struct Key
    {
        QString letterEntryId;
        QString recipientsKey;
        MailType type = MailType::Personal;
    };

    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;
    ~RunJournal();

    // Reads the journal of an interrupted run of this key, if there is one. Fails when it
    // exists but cannot be read; such a file is never overwritten.
    [[nodiscard]] static corvel::Result<std::unique_ptr<RunJournal>> open(const QString &directory,
                                                                          const Key &key);

    // Starting over: an unreadable journal of this key is moved aside as NAME.damaged (kept
    // to be looked at), a readable one forgotten, and a new run begins.
    [[nodiscard]] static corvel::Result<std::unique_ptr<RunJournal>>
    openAfresh(const QString &directory, const Key &key);
    [[nodiscard]] static QString pathOf(const QString &directory, const Key &key);
    // Where an unreadable journal goes when a run starts over.
    [[nodiscard]] static QString damagedPath(const QString &journalPath)
    {
        return journalPath + QStringLiteral(".damaged");
    }

    [[nodiscard]] QString path() const { return m_path; }
    // A previous run of this key stopped midway.
    [[nodiscard]] bool isInterrupted() const { return m_interrupted; }
    // Recipients (lower case) already queued, or perhaps queued, by the interrupted run.
    [[nodiscard]] const QSet<QString> &queued() const { return m_queued; }
    [[nodiscard]] const QSet<QString> &uncertain() const { return m_uncertain; }

    // Forgets the interrupted run.
    [[nodiscard]] Status restart();
    // The recipients of each message of a batch about to be queued.
    [[nodiscard]] Status beginBatch(const std::vector<QStringList> &messages);
    [[nodiscard]] Status begin(const QStringList &recipients) { return beginBatch({recipients}); }
    // Every pending message has been queued. The line is synced with the next batch's lines
    // (or when the journal is closed, or goes at the end of the run): a machine that stops
    // before then leaves the batch in doubt, never mailed again; a killed process loses nothing.
    [[nodiscard]] Status queuedPending();
    // The pending messages were not queued after all.
    [[nodiscard]] Status abandonPending();
    // The run ended: nothing is left to continue.
    [[nodiscard]] Status finish();

    // Where the window and corvelctl keep the journals: in the program's data folder (see
    // UserPaths::dataFolder).
    [[nodiscard]] static QString directoryIn(const QString &dataFolder);

    [[nodiscard]] static QString normalized(const QString &address)
    {
        return address.trimmed().toLower();
    }

private:
    RunJournal(QString path, Key key);
    [[nodiscard]] Status load();
    [[nodiscard]] Status append(const QByteArray &line, bool sync = true);
    [[nodiscard]] Status openForAppend();

    QString m_path;
    Key m_key;
    int m_fd = -1;
    bool m_unsynced = false; // a line written since the last sync
    bool m_interrupted = false;
    QSet<QString> m_queued;
    QSet<QString> m_uncertain;
};

} // namespace corvel
