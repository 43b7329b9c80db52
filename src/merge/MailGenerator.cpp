#include "merge/MailGenerator.h"

#include "merge/BatchCommitter.h"
#include "merge/GenerationView.h"
#include "merge/MemberPrompts.h"
#include "merge/MergeFields.h"
#include "merge/PersonalCopy.h"
#include "merge/RunJournal.h"
#include "message/MailAddressList.h"
#include "session/OlSendBatch.h"
#include "session/OutlookSession.h"

namespace corvel {

namespace {

// A member's address must be one address and nothing else: a line break or NUL could add a
// header line, a separator another recipient.
Status checkMemberAddress(const QString &address)
{
    for (const QChar c : address)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return Status::failure(
                QStringLiteral("The address holds a line break or NUL character."));
    Result<MailAddressList> parsed = MailAddressList::parse(address);
    if (!parsed.ok())
        return Status::failure(parsed.error());
    if (parsed->addresses().size() != 1)
        return Status::failure(QStringLiteral("The address is not exactly one address."));
    return {};
}

} // namespace

MailGenerator::MailGenerator(OlNamespace &session, GenerationView &view, MergePrompter &prompter)
    : m_session(session)
    , m_view(view)
    , m_prompter(prompter)
{
}

MailGenerator::~MailGenerator() = default;

GenerationOutcome MailGenerator::execute(const Options &options,
                                         const std::vector<MailMember> &members,
                                         RunJournal *journal)
{
    m_options = options;
    m_journal = options.dryRun || !options.saveTo.isEmpty() ? nullptr : journal;
    m_outcome = {};
    m_outcome.savedTo = options.saveTo;
    m_batch.clear();
    m_uncommitted.clear();
    m_sendBatch = nullptr;
    m_committer = nullptr;
    m_cancelled = false;
    m_copies = nullptr;
    m_addressesMet.clear();

    try {
        m_letter = m_options.grpMailEntryId.isEmpty()
                       ? nullptr
                       : m_session.GetItemFromID(m_options.grpMailEntryId);
    } catch (const OutlookError &) {
        m_letter = nullptr;
    }
    if (!m_letter || m_letter->Class() != olMailItem) {
        m_letter = nullptr;
        m_view.critical(letterMissingText());
        return m_outcome;
    }
    m_outcome.letterLoaded = true;
    m_copies = std::make_unique<PersonalCopy>(m_letter, m_options.prompts, m_options.unsubscribe);
    m_outcome.total = static_cast<qint64>(members.size());
    if (members.empty()) {
        m_letter = nullptr;
        return m_outcome;
    }

    if (!m_options.dryRun) {
        m_committer = std::make_unique<BatchCommitter>(m_journal);
        try {
            m_sendBatch = newSendBatch();
        } catch (const OutlookError &error) {
            m_outcome.stopReason = error.message();
            m_letter = nullptr;
            return m_outcome;
        }
    }

    m_view.setStatus(totalText(m_outcome.total));
    m_view.show();
    for (const MailMember &member : members) {
        processMember(member);
        if (!m_outcome.stopReason.isEmpty())
            break;
        if (m_cancelled) {
            // The batch collected since the last message is dropped, as the user asked; the
            // copies already made are whole and are queued below.
            m_outcome.cancelled = true;
            m_batch.clear();
            break;
        }
    }
    if (!m_outcome.cancelled && m_outcome.stopReason.isEmpty())
        sendBatch();
    finishCommits();
    if (!m_outcome.cancelled && m_outcome.stopReason.isEmpty() && m_journal)
        if (Status finished = m_journal->finish(); !finished.ok())
            m_outcome.stopReason = finished.error();
    m_committer = nullptr;
    m_sendBatch = nullptr;
    m_copies = nullptr;
    m_letter = nullptr;
    return m_outcome;
}

void MailGenerator::fail(const MailMember &member, const QString &reason)
{
    m_outcome.failures.push_back({member.name, member.address, reason});
}

void MailGenerator::processMember(const MailMember &member)
{
    ++m_outcome.processed;
    if (member.address.isEmpty()) {
        ++m_outcome.skippedNoAddress;
    } else if (Status valid = checkMemberAddress(member.address); !valid.ok()) {
        fail(member, valid.error());
    } else if (!firstInThisRun(member.address)) {
        ++m_outcome.skippedAlreadyMailed;
    } else if (m_journal &&
               m_journal->uncertain().contains(RunJournal::normalized(member.address))) {
        fail(member, QStringLiteral("The interrupted run may have queued a message to this "
                                    "address already; it is not mailed again."));
    } else if (m_journal && m_journal->queued().contains(RunJournal::normalized(member.address))) {
        ++m_outcome.skippedAlreadyQueued;
    } else if (m_options.grpMailType == MailType::Personal) {
        addPersonalCopy(member);
        if (m_cancelled)
            return;
    } else if (m_options.grpMailType != MailType::None) {
        m_batch.push_back(member);
        if (static_cast<int>(m_batch.size()) == kBatchSize)
            sendBatch();
    }
    commitWhenDue();
    showProgress(m_outcome.processed);
}

void MailGenerator::addPersonalCopy(const MailMember &member)
{
    try {
        const QString recipient = MailAddressList::mailbox(member.name, member.address);
        if (m_options.dryRun && !m_outcome.planned.empty()) {
            m_outcome.planned.push_back({recipient, m_letter->CC(), m_letter->BCC()});
            return;
        }
        Result<PersonalCopy::Made> made =
            m_copies->forMember(member, m_prompter, m_outcome.processed, m_outcome.total);
        if (made.ok() && made->stopRun) {
            // Ended as Cancel ends a run; this member was not mailed.
            --m_outcome.processed;
            m_cancelled = true;
            return;
        }
        if (!made.ok()) {
            fail(member, made.error());
            return;
        }
        if (m_options.dryRun) {
            const std::shared_ptr<OlItem> copy = OlSendBatch::copyOf(
                m_letter, OlSendBatch::CopyRecipients::To, recipient, made->changes);
            m_outcome.firstFilledBody = made->changes.body.value_or(m_copies->body());
            m_outcome.planned.push_back({copy->To(), copy->CC(), copy->BCC()});
            return;
        }
        m_sendBatch->addCopy(m_letter, OlSendBatch::CopyRecipients::To, recipient, made->changes);
        noteAdded({member});
        if (!made->emptied.isEmpty())
            m_outcome.emptyPrompted.push_back({member.name, member.address, made->emptied});
    } catch (const OutlookError &error) {
        fail(member, error.message());
    }
}

bool MailGenerator::firstInThisRun(const QString &address)
{
    const qsizetype before = m_addressesMet.size();
    m_addressesMet.insert(RunJournal::normalized(address));
    return m_addressesMet.size() != before;
}

void MailGenerator::noteAdded(std::vector<MailMember> members)
{
    if (m_uncommitted.empty())
        m_batchAge.start();
    m_uncommitted.push_back(std::move(members));
}

void MailGenerator::commitWhenDue()
{
    if (!m_committer)
        return;
    takeCommitted();
    if (m_uncommitted.empty())
        return;
    if (static_cast<int>(m_uncommitted.size()) < kMessagesPerCommit &&
        m_batchAge.elapsed() < kCommitAfterMs)
        return;
    if (m_committer->busy()) {
        // The disk is behind: the batch grows, up to a bound, rather than the window waiting.
        if (static_cast<int>(m_uncommitted.size()) < kMostUncommitted)
            return;
        m_committer->waitIdle([this] { m_view.letEventsRun(); });
        takeCommitted();
    }
    submitBatch();
}

void MailGenerator::submitBatch()
{
    if (m_uncommitted.empty())
        return;
    BatchCommitter::Batch batch{std::move(m_sendBatch), std::move(m_uncommitted)};
    m_uncommitted.clear();
    try {
        m_sendBatch = newSendBatch();
    } catch (const OutlookError &error) {
        m_outcome.stopReason = error.message();
    }
    m_committer->submit(std::move(batch));
}

std::unique_ptr<OlSendBatch> MailGenerator::newSendBatch()
{
    std::unique_ptr<OlSendBatch> batch = m_session.createSendBatch();
    if (!m_options.saveTo.isEmpty())
        batch->saveTo(m_options.saveTo);
    else
        batch->setNotBefore(m_options.notBeforeMs);
    return batch;
}

void MailGenerator::finishCommits()
{
    if (!m_committer)
        return;
    submitBatch();
    m_committer->waitIdle([this] { m_view.letEventsRun(); });
    takeCommitted();
}

void MailGenerator::takeCommitted()
{
    for (BatchCommitter::Done &done : m_committer->takeDone()) {
        if (!done.stopReason.isEmpty() && m_outcome.stopReason.isEmpty())
            m_outcome.stopReason = done.stopReason;
        for (std::size_t i = 0; i < done.messages.size(); ++i) {
            const QString error = !done.failure.isEmpty() ? done.failure
                                  : i < done.queued.size()
                                      ? done.queued[i].error
                                      : QStringLiteral("The message was not queued.");
            if (!error.isEmpty()) {
                for (const MailMember &member : done.messages[i])
                    fail(member, error);
                continue;
            }
            ++m_outcome.messagesQueued;
            m_outcome.membersQueued += static_cast<qint64>(done.messages[i].size());
            if (!done.queued[i].outboxId.isEmpty())
                m_outcome.outboxIds.append(done.queued[i].outboxId);
        }
    }
}

void MailGenerator::sendBatch()
{
    if (m_batch.empty())
        return;
    const std::vector<MailMember> batch = std::move(m_batch);
    m_batch.clear();
    const QStringList addresses = addressesOf(batch);
    const QString list = addresses.join(QStringLiteral("; "));
    const OlSendBatch::CopyRecipients which =
        m_options.grpMailType == MailType::To   ? OlSendBatch::CopyRecipients::To
        : m_options.grpMailType == MailType::CC ? OlSendBatch::CopyRecipients::CC
                                                : OlSendBatch::CopyRecipients::BCC;
    try {
        if (m_options.dryRun) {
            const std::shared_ptr<OlItem> copy =
                OlSendBatch::copyOf(m_letter, which, list, m_copies->forSeveral());
            m_outcome.planned.push_back({copy->To(), copy->CC(), copy->BCC()});
        } else {
            m_sendBatch->addCopy(m_letter, which, list, m_copies->forSeveral());
            noteAdded(batch);
        }
    } catch (const OutlookError &error) {
        for (const MailMember &member : batch)
            fail(member, error.message());
    }
}

void MailGenerator::showProgress(qint64 n)
{
    m_view.setStatus(progressText(n, m_outcome.total));
    m_view.setPercent(percentOf(n, m_outcome.total));
    m_view.letEventsRun();
}

} // namespace corvel
