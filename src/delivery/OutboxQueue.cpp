#include "delivery/OutboxQueue.h"

#include "delivery/OutboxContents.h"
#include "delivery/OutboxLock.h"
#include "delivery/SendsLog.h"
#include "message/MailMessage.h"
#include "session/LocalMailbox.h"
#include "session/OutlookSession.h"

#include <QDateTime>
#include <QFile>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString subjectOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(64 * 1024);
    const qsizetype end = head.indexOf("\n\n");
    return MailMessage::subjectOfHeaders(end >= 0 ? head.left(end) : head);
}

QString shownState(const OutboxState::Record &record)
{
    if (record.state == OutboxState::State::Queued && record.attempts > 0)
        return u"deferred"_s;
    return OutboxState::stateName(record.state);
}

} // namespace

OutboxQueue::OutboxQueue(const LocalMailbox &mailbox)
    : m_mailbox(mailbox)
{
}

std::vector<OutboxQueue::Message> OutboxQueue::messages(qint64 nowMs, Subjects subjects) const
{
    if (nowMs == 0)
        nowMs = QDateTime::currentMSecsSinceEpoch();
    std::vector<Message> result;
    for (const auto &tree : m_mailbox.stores()) {
        const auto outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        if (!outbox)
            continue;
        // Recovery belongs to a delivery pass: what it would make of an interrupted batch is
        // shown, and nothing written.
        Result<OutboxContents> contents =
            OutboxContents::read(outbox->directory, OutboxState::Recovery::Preview);
        if (!contents.ok())
            throw OutlookError(contents.error());
        const OutboxState &state = contents->state;
        for (const auto &entry : contents->entries) {
            Message m{outbox->directory,
                      entry.unique,
                      entry.path,
                      subjects == Subjects::Read ? subjectOf(entry.path) : QString(),
                      u"queued"_s,
                      {},
                      0,
                      0,
                      {},
                      {}};
            if (const OutboxState::Record *record = state.find(entry.unique)) {
                m.state = shownState(*record);
                m.reason = record->reason;
                m.attempts = record->attempts;
                m.nextAttemptMs = record->nextAttemptMs;
                m.refused = record->refusals();
                m.recipients = record->recipients;
            }
            if (const qint64 notBefore = contents->notBefore(entry.unique);
                notBefore > nowMs && m.state == u"queued"_s) {
                m.state = u"scheduled"_s;
                m.nextAttemptMs = notBefore;
                m.reason = u"to go at %1"_s.arg(
                    QDateTime::fromMSecsSinceEpoch(notBefore).toString(u"yyyy-MM-dd HH:mm"_s));
            }
            if (state.inHand().contains(entry.unique))
                m.state = u"sending"_s;
            result.push_back(std::move(m));
        }
    }
    return result;
}

Status OutboxQueue::release(const QString &unique) const
{
    for (const auto &tree : m_mailbox.stores()) {
        const auto outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        if (!outbox || !MaildirFolder(outbox->directory).find(unique))
            continue;
        const OutboxLock lock(outbox->directory);
        if (!lock.held())
            return Status::failure(u"A delivery is running; try again when it has finished."_s);
        Result<OutboxContents> contents =
            OutboxContents::read(outbox->directory, OutboxState::Recovery::Recover);
        if (!contents.ok())
            return Status::failure(contents.error());
        OutboxState &state = contents->state;
        if (!state.find(unique))
            return {};
        // Who had it keeps it: only the recipients still owed are tried again.
        OutboxState::Record &record = state.edit(unique);
        std::vector<OutboxState::Recipient> delivered;
        for (const OutboxState::Recipient &r : record.recipients) {
            if (r.outcome == OutboxState::Recipient::Outcome::Delivered)
                delivered.push_back(r);
        }
        if (delivered.empty() && record.legacyRemaining.isEmpty())
            state.erase(unique);
        else
            record =
                OutboxState::Record{OutboxState::State::Queued, 0, 0, 0, {}, std::move(delivered),
                                    record.legacyRemaining};
        return state.save();
    }
    return Status::failure(u"No Outbox holds the message %1."_s.arg(unique));
}

OutboxQueue::RateHold OutboxQueue::rateHold(const RateLimits &limits, qint64 nowMs) const
{
    RateHold hold;
    if (!limits.any())
        return hold;
    std::vector<qint64> sent;
    std::vector<RateLimits::Send> sends;
    for (const auto &tree : m_mailbox.stores()) {
        const auto outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        if (!outbox)
            continue;
        SendsLog log(outbox->directory);
        if (Status read = log.load(nowMs, limits.memoryMs()); !read.ok()) {
            hold.problem = read.error();
            return hold;
        }
        sent.insert(sent.end(), log.sentMs().begin(), log.sentMs().end());
        sends.insert(sends.end(), log.sends().begin(), log.sends().end());
    }
    std::sort(sent.begin(), sent.end());
    std::sort(sends.begin(), sends.end());
    // The next message's recipients are not known here: held back is when not one more may go.
    const qint64 next = limits.nextAllowedMs(sent, sends, nowMs, 1, &hold.limit);
    if (next > nowMs)
        hold.untilMs = next;
    return hold;
}

} // namespace corvel
