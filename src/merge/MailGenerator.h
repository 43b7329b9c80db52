#pragma once

#include "merge/GenerationOutcome.h"
#include "merge/ListUnsubscribe.h"
#include "merge/MailMember.h"
#include "merge/MailType.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace corvel {

class BatchCommitter;
class GenerationView;
class MergePrompter;
class OlItem;
class OlNamespace;
class OlSendBatch;
class PersonalCopy;
class PromptPlan;
class RunJournal;

// The generator's rules without its window: turns the chosen letter into one filled copy per
// member, or into To, CC or BCC copies of at most 100 addresses each, and queues them. A
// member that fails is recorded with its reason and the run goes on; a run journal, when
// given, makes the run continuable after an interruption.
//
// Copies are queued in batches, each made durable with one sync (and one journal sync before
// and after): a batch is handed over after kMessagesPerCommit messages or kCommitAfterMs of
// work, whichever comes first, and committed (off the window's thread where the session
// allows) while the next one is made; when the disk falls behind, the batch being made grows
// to kMostUncommitted before the generator waits, still letting the window's events run.
// Cancel drops the addresses not yet made into a message; copies already made are whole and
// are queued. Stopping the run from a prompt ends it the same way, that member getting nothing.
class MailGenerator
{
public:
    struct Options
    {
        MailType grpMailType = MailType::Personal;
        QString grpMailEntryId;
        bool dryRun = false;
        // Answers prompts without asking; may be null (every prompt is asked).
        const PromptPlan *prompts = nullptr;
        // The unsubscribe headers every copy carries.
        ListUnsubscribe unsubscribe{};
        // The copies go no earlier than this (ms since the epoch); 0: at once.
        qint64 notBeforeMs = 0;
        // The copies are saved in this folder as files, not queued (nor journalled).
        QString saveTo = {};
    };

    MailGenerator(OlNamespace &session, GenerationView &view, MergePrompter &prompter);
    ~MailGenerator();
    MailGenerator(const MailGenerator &) = delete;
    MailGenerator &operator=(const MailGenerator &) = delete;

    static QString letterMissingText()
    {
        return QStringLiteral("Unable to load Message from Drafts folder");
    }
    static QString totalText(qint64 total)
    {
        return QString::number(total) + QStringLiteral(" Contacts to Process");
    }
    static QString progressText(qint64 n, qint64 total)
    {
        return QString::number(n) + QStringLiteral(" of ") + QString::number(total);
    }
    static constexpr int kMessagesPerCommit = 250;
    static constexpr qint64 kCommitAfterMs = 30;
    static constexpr int kMostUncommitted = 1000;

    static int percentOf(qint64 n, qint64 total)
    {
        return total > 0 ? static_cast<int>(n * 100 / total) : 0;
    }

    // journal may be null (no record kept); a journal of an interrupted run makes this run
    // skip the members it had queued.
    [[nodiscard]] GenerationOutcome execute(const Options &options,
                                            const std::vector<MailMember> &members,
                                            RunJournal *journal = nullptr);
    // The generator window's Cancel: seen after the member in hand.
    void btnCancel_Click() { m_cancelled = true; }

private:
    void processMember(const MailMember &member);
    void addPersonalCopy(const MailMember &member);
    void sendBatch();
    void showProgress(qint64 n);
    // Records the members of the copy just added to the batch being made.
    void noteAdded(std::vector<MailMember> members);
    void commitWhenDue();
    void submitBatch();
    [[nodiscard]] std::unique_ptr<OlSendBatch> newSendBatch();
    void finishCommits();
    void takeCommitted();
    void fail(const MailMember &member, const QString &reason);
    // A group may hold an address on several rows (in other letter case too): it is mailed
    // once a run.
    [[nodiscard]] bool firstInThisRun(const QString &address);

    OlNamespace &m_session;
    GenerationView &m_view;
    MergePrompter &m_prompter;
    Options m_options;
    RunJournal *m_journal = nullptr;
    std::shared_ptr<OlItem> m_letter;
    std::unique_ptr<PersonalCopy> m_copies;
    GenerationOutcome m_outcome;
    QSet<QString> m_addressesMet;
    std::vector<MailMember> m_batch;
    // Copies made and added to the send batch, not yet committed: their members each.
    std::unique_ptr<OlSendBatch> m_sendBatch;
    std::vector<std::vector<MailMember>> m_uncommitted;
    QElapsedTimer m_batchAge;
    std::unique_ptr<BatchCommitter> m_committer;
    bool m_cancelled = false;
};

} // namespace corvel
