#include "delivery/OutboxDelivery.h"

#include "delivery/OutboxContents.h"
#include "delivery/OutboxLock.h"
#include "delivery/PreparedReadAhead.h"
#include "delivery/RefusalLog.h"
#include "message/MailMessage.h"
#include "message/OutboxSchedule.h"
#include "session/LocalMailbox.h"
#include "session/OutlookSession.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

using Outcome = OutboxState::Recipient::Outcome;

struct OutboxDelivery::Folder
{
    std::shared_ptr<LocalStoreTree> tree;
    OutboxContents contents;
    std::optional<QString> sent; // found or made when the first message goes
    bool moved = false;          // renames into Sent Items not yet fsynced
    bool logged = false;         // refusals appended and not yet fsynced
};

namespace {

constexpr qint64 DayMs = 24 * 60 * 60 * 1000;

Status syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? Status() : Status::failure(u"%1 cannot be made durable."_s.arg(path));
}

// The recipients the message still owes: not delivered, not refused for good.
QStringList owedRecipients(OutboxState::Record &record, const MailEnvelope &envelope)
{
    // Records of earlier versions name only the recipients still owed after a partial delivery.
    if (!record.legacyRemaining.isEmpty()) {
        for (const QString &address : envelope.recipients) {
            if (!record.legacyRemaining.contains(address, Qt::CaseInsensitive) &&
                !record.recipient(address))
                record.note(address, Outcome::Delivered, {});
        }
        record.legacyRemaining.clear();
    }
    QStringList owed;
    for (const QString &address : envelope.recipients) {
        if (!record.settled(address))
            owed << address;
    }
    return owed;
}

// What one transaction did to each recipient it named.
void noteTransaction(OutboxState::Record &record, const QStringList &named,
                     const SendOutcome &outcome)
{
    QSet<QString> answered;
    for (const RecipientRefusal &refusal : outcome.refused) {
        record.note(refusal.address, refusal.temporary ? Outcome::PutOff : Outcome::Refused,
                    refusal.reply);
        answered.insert(refusal.address.toLower());
    }
    for (const QString &address : named) {
        if (answered.contains(address.toLower()))
            continue;
        switch (outcome.kind) {
        case SendOutcome::Kind::Accepted:
            record.note(address, Outcome::Delivered, outcome.reply);
            break;
        case SendOutcome::Kind::Deferred:
            record.note(address, Outcome::PutOff, outcome.reply);
            break;
        case SendOutcome::Kind::Failed:
            record.note(address, Outcome::Refused, outcome.reply);
            break;
        case SendOutcome::Kind::Unknown:
        case SendOutcome::Kind::Unavailable:
            break; // nothing is known of them
        }
    }
}

// Recipients a server took no more of in this transaction ("452 too many recipients"): they go
// in a further one at once.
QStringList tooMany(const SendOutcome &outcome)
{
    QStringList rest;
    if (outcome.kind != SendOutcome::Kind::Accepted)
        return rest;
    for (const RecipientRefusal &refusal : outcome.refused) {
        if (refusal.reply.startsWith(u"452"_s))
            rest << refusal.address;
    }
    return rest;
}

// How many recipients the message's next transaction names, for the day's limit.
int owedCount(const OutboxState &state, const QString &unique, const PreparedMessage &prepared)
{
    const OutboxState::Record *record = state.find(unique);
    return int(std::count_if(
        prepared.envelope.recipients.begin(), prepared.envelope.recipients.end(),
        [record](const QString &address) { return !record || !record->settled(address); }));
}

void countLeft(const OutboxContents &contents, DeliveryReport &report)
{
    for (const MaildirFolder::Entry &entry : contents.entries) {
        const OutboxState::Record *record = contents.state.find(entry.unique);
        if (!record)
            continue;
        switch (record->state) {
        case OutboxState::State::Held:
            ++report.held;
            break;
        case OutboxState::State::Failed:
            ++report.failed;
            break;
        case OutboxState::State::Queued:
            if (record->attempts > 0)
                ++report.deferred;
            break;
        case OutboxState::State::Sent:
            break; // reported as a problem when it could not be moved
        }
    }
}

} // namespace

OutboxDelivery::OutboxDelivery(const LocalMailbox &mailbox, MailTransport *transport,
                               QString noTransport, Options options)
    : m_mailbox(mailbox)
    , m_transport(transport)
    , m_noTransport(std::move(noTransport))
    , m_options(std::move(options))
{
}

OutboxDelivery::~OutboxDelivery()
{
    if (m_transport)
        m_transport->setDataListener({});
}

qint64 OutboxDelivery::now() const
{
    return m_options.nowMs ? m_options.nowMs() : QDateTime::currentMSecsSinceEpoch();
}

bool OutboxDelivery::stopRequested() const
{
    return m_options.stopRequested && m_options.stopRequested();
}

void OutboxDelivery::noteDue(qint64 dueMs)
{
    if (m_nextDueMs == 0 || dueMs < m_nextDueMs)
        m_nextDueMs = dueMs;
}

void OutboxDelivery::readOtherSends(DeliveryReport &report)
{
    m_sendsByOutbox.clear();
    m_recipientsByOutbox.clear();
    m_cannotCount.clear();
    if (!m_options.limits.any())
        return;
    for (const auto &tree : m_mailbox.stores()) {
        std::optional<LocalMailbox::Place> outbox;
        try {
            outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        } catch (const OutlookError &) {
            continue; // reported by the pass
        }
        if (!outbox)
            continue;
        SendsLog log(outbox->directory);
        if (Status read = log.load(now(), m_options.limits.memoryMs()); !read.ok()) {
            m_cannotCount = read.error();
            report.problems << read.error();
            return;
        }
        m_sendsByOutbox[outbox->directory] = log.sentMs();
        m_recipientsByOutbox[outbox->directory] = log.sends();
    }
}

bool OutboxDelivery::openSendsLog(const QString &directory, DeliveryReport &report)
{
    m_sendsLog.reset();
    m_sentMs.clear();
    m_sends.clear();
    if (!m_options.limits.any())
        return true;
    if (!m_cannotCount.isEmpty())
        return false;
    // Read again under the lock: another program may have delivered from it since.
    auto log = std::make_unique<SendsLog>(directory);
    Status ready = log->load(now(), m_options.limits.memoryMs());
    if (ready.ok())
        ready = log->compact();
    if (!ready.ok()) {
        m_cannotCount = ready.error();
        report.problems << ready.error();
        return false;
    }
    m_sendsByOutbox[directory] = log->sentMs();
    m_recipientsByOutbox[directory] = log->sends();
    for (const auto &[outbox, sent] : m_sendsByOutbox)
        m_sentMs.insert(m_sentMs.end(), sent.begin(), sent.end());
    std::sort(m_sentMs.begin(), m_sentMs.end());
    for (const auto &[outbox, sends] : m_recipientsByOutbox)
        m_sends.insert(m_sends.end(), sends.begin(), sends.end());
    std::sort(m_sends.begin(), m_sends.end());
    m_sendsLog = std::move(log);
    return true;
}

bool OutboxDelivery::withinLimits(DeliveryReport &report, int recipients)
{
    if (!m_options.limits.any())
        return true;
    const qint64 at = now();
    QString why;
    const qint64 next = m_options.limits.nextAllowedMs(m_sentMs, m_sends, at, recipients, &why);
    if (next <= at)
        return true;
    report.limitedUntilMs = next;
    report.limit = why;
    noteDue(next);
    return false;
}

bool OutboxDelivery::noteSend()
{
    if (!m_sendsLog)
        return true;
    const qint64 at = now();
    // Durable before the data goes, so that no crash lets a send go uncounted.
    Status recorded = m_sendsLog->record(at, m_transactionRecipients);
    if (recorded.ok())
        recorded = m_sendsLog->sync();
    if (!recorded.ok()) {
        m_cannotCount = recorded.error();
        return false;
    }
    m_sentMs.insert(std::upper_bound(m_sentMs.begin(), m_sentMs.end(), at), at);
    m_sends.push_back({at, m_transactionRecipients}); // now is the latest
    return true;
}

DeliveryReport OutboxDelivery::run()
{
    DeliveryReport report;
    m_nextDueMs = 0;
    readOtherSends(report);
    for (const auto &tree : m_mailbox.stores()) {
        std::optional<LocalMailbox::Place> outbox;
        try {
            outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        } catch (const OutlookError &error) {
            report.problems << error.message();
        }
        if (outbox && !deliverFolder(tree, outbox->directory, report))
            break;
    }
    if (m_transport)
        m_transport->close();
    return report;
}

bool OutboxDelivery::deliverFolder(const std::shared_ptr<LocalStoreTree> &tree,
                                   const QString &directory, DeliveryReport &report)
{
    OutboxLock lock(directory);
    if (!lock.held()) {
        report.problems << u"Another program is delivering %1."_s.arg(directory);
        return true;
    }
    // Queued messages are staged without a name where the file system allows, so no write
    // sweeps tmp/: what a killed writer left there goes here, at every start and pass. Leftovers
    // only cost space, so a tmp/ that cannot be swept does not stop delivery.
    (void)MaildirFolder(directory).removeStaleTemporaries();
    Result<OutboxContents> contents =
        OutboxContents::read(directory, OutboxState::Recovery::Recover);
    if (!contents.ok()) {
        report.problems << contents.error();
        return true;
    }
    // Times past mean nothing any more; a schedule that cannot be rewritten is read again.
    if (Status dropped = OutboxSchedule(directory).dropPast(now()); !dropped.ok())
        report.problems << dropped.error();
    Folder folder{tree, std::move(*contents), std::nullopt};
    fileSentMessages(folder, report);
    bool carryOn = true;
    const std::vector<MaildirFolder::Entry> due = selectDue(folder, report);
    if (!due.empty() && !m_transport) {
        report.waiting += int(due.size());
        if (!report.problems.contains(m_noTransport))
            report.problems << m_noTransport;
    } else if (!due.empty() && !openSendsLog(directory, report)) {
        // Without the count of what went, a limit cannot be kept: nothing goes.
        report.waiting += int(due.size());
        carryOn = false;
    } else if (!due.empty()) {
        carryOn = deliverBatches(folder, due, report);
    }
    countLeft(folder.contents, report);
    return carryOn;
}

std::vector<MaildirFolder::Entry> OutboxDelivery::selectDue(Folder &folder, DeliveryReport &report)
{
    std::vector<MaildirFolder::Entry> due;
    const qint64 started = now();
    for (const MaildirFolder::Entry &entry : folder.contents.entries) {
        const OutboxState::Record *record = folder.contents.state.find(entry.unique);
        if (record && record->state != OutboxState::State::Queued)
            continue;
        // Sent later as asked, even by a delivery asked for now.
        if (const qint64 notBefore = folder.contents.notBefore(entry.unique); notBefore > started) {
            ++report.waiting;
            noteDue(notBefore);
            continue;
        }
        if (record && record->nextAttemptMs > started && !m_options.ignoreBackoff) {
            ++report.waiting;
            noteDue(record->nextAttemptMs);
            continue;
        }
        due.push_back(entry);
    }
    return due;
}

bool OutboxDelivery::deliverBatches(Folder &folder, const std::vector<MaildirFolder::Entry> &due,
                                    DeliveryReport &report)
{
    OutboxState &state = folder.contents.state;
    const qsizetype batchSize = std::max(1, m_options.batchSize);
    m_readAhead =
        std::make_unique<PreparedReadAhead>(due, m_transport->lineEnds(), m_mailbox.sender());
    const auto stopReading = qScopeGuard([this] {
        m_readAhead = nullptr;
        m_nextPrepared = nullptr;
    });
    for (qsizetype first = 0; first < qsizetype(due.size()); first += batchSize) {
        const qsizetype last = std::min<qsizetype>(first + batchSize, qsizetype(due.size()));
        QStringList names;
        for (qsizetype i = first; i < last; ++i)
            names << due[size_t(i)].unique;
        if (!withinLimits(report)) {
            report.waiting += int(due.size() - first);
            return false;
        }
        if (Status marked = state.beginSending(names); !marked.ok()) {
            report.problems << marked.error();
            report.waiting += int(due.size() - first);
            return false;
        }
        bool carryOn = true;
        qsizetype i = first;
        while (i < last) {
            if (stopRequested()) {
                report.problems << u"Delivery was stopped."_s;
                carryOn = false;
                break;
            }
            if (!withinLimits(report)) {
                carryOn = false;
                break;
            }
            // A message the transport could not take waits with the rest.
            const MaildirFolder::Entry *next = i + 1 < last ? &due[size_t(i + 1)] : nullptr;
            if (!deliverMessage(folder, due[size_t(i)], next, report)) {
                if (!m_cannotCount.isEmpty() && !report.problems.contains(m_cannotCount))
                    report.problems << m_cannotCount;
                carryOn = false;
                break;
            }
            ++i;
        }
        if (const QStringList failures = finishBatch(folder); !failures.isEmpty()) {
            // The sending list stays: at the next start its journal decides, not a resend.
            report.problems << failures;
            report.waiting += int(due.size() - i);
            return false;
        }
        if (!carryOn) {
            report.waiting += int(due.size() - i);
            return false;
        }
    }
    return true;
}

PreparedMessage OutboxDelivery::takePrepared(const MaildirFolder::Entry &entry)
{
    std::unique_ptr<PreparedMessage> ahead = std::move(m_nextPrepared);
    if (ahead && m_nextUnique == entry.unique)
        return std::move(*ahead);
    return m_readAhead->take(entry);
}

void OutboxDelivery::expectNext(const Folder &folder, const MaildirFolder::Entry &next)
{
    m_nextUnique = next.unique;
    m_nextPrepared = std::make_unique<PreparedMessage>(m_readAhead->take(next));
    const PreparedMessage &prepared = *m_nextPrepared;
    const OutboxState::Record *record = folder.contents.state.find(next.unique);
    if (!prepared.problem.isEmpty() || (record && !record->legacyRemaining.isEmpty()))
        return;
    // Its first transaction, as sendToOwed will make it.
    MailEnvelope envelope{prepared.envelope.from, {}};
    for (const QString &address : prepared.envelope.recipients) {
        if (!record || !record->settled(address))
            envelope.recipients.push_back(address);
    }
    if (!envelope.recipients.empty())
        m_transport->expectNext(envelope, prepared.bytes);
}

bool OutboxDelivery::deliverMessage(Folder &folder, const MaildirFolder::Entry &entry,
                                    const MaildirFolder::Entry *next, DeliveryReport &report)
{
    OutboxState &state = folder.contents.state;
    const PreparedMessage prepared = takePrepared(entry);
    DeliveryReport::Message line{folder.contents.folder.directory(), entry.unique, prepared.subject,
                                 DeliveryReport::Outcome::Failed,    {},           {}};
    if (!prepared.problem.isEmpty()) {
        // Nothing of it left: failed for a reason the user can act on, never held.
        OutboxState::Record &record = state.edit(entry.unique);
        record.state = OutboxState::State::Failed;
        record.reason = prepared.problem;
        line.reason = prepared.problem;
        (void)state.noteOutcome(entry.unique);
        report.messages.push_back(std::move(line));
        return true;
    }
    if (m_options.limits.recipientsPerDay > 0 &&
        !withinLimits(report, owedCount(state, entry.unique, prepared)))
        return false;
    if (next)
        expectNext(folder, *next);
    const std::optional<SendOutcome> last = sendToOwed(folder, entry.unique, prepared, report);
    if (!last)
        return false;
    OutboxState::Record &record = state.edit(entry.unique);
    settle(record, prepared, *last, line);
    (void)state.noteOutcome(entry.unique);
    if (record.state == OutboxState::State::Sent)
        fileInSentItems(folder, entry, line, report);
    report.messages.push_back(std::move(line));
    return true;
}

std::optional<SendOutcome> OutboxDelivery::sendToOwed(Folder &folder, const QString &unique,
                                                      const PreparedMessage &prepared,
                                                      DeliveryReport &report)
{
    OutboxState &state = folder.contents.state;
    QStringList owed = owedRecipients(state.edit(unique), prepared.envelope);
    SendOutcome last{SendOutcome::Kind::Accepted, {}, {}};
    m_transport->setDataListener(
        [this, &state, unique] { return noteSend() && state.noteDataLeaving(unique); });
    while (!owed.isEmpty()) {
        MailEnvelope envelope{prepared.envelope.from, {owed.begin(), owed.end()}};
        m_transactionRecipients = int(owed.size());
        SendOutcome outcome = m_transport->send(envelope, prepared.bytes);
        if (outcome.kind == SendOutcome::Kind::Unavailable) {
            // Nothing of this transaction happened; what earlier ones did stands.
            report.problems << outcome.reply;
            return std::nullopt;
        }
        noteTransaction(state.edit(unique), owed, outcome);
        last = std::move(outcome);
        if (last.kind == SendOutcome::Kind::Unknown)
            break;
        owed = tooMany(last);
        if (!owed.isEmpty())
            (void)state.noteOutcome(unique, true); // its delivered recipients, before the next
    }
    return last;
}

void OutboxDelivery::settle(OutboxState::Record &record, const PreparedMessage &prepared,
                            const SendOutcome &last, DeliveryReport::Message &line)
{
    if (last.kind == SendOutcome::Kind::Unknown) {
        record.state = OutboxState::State::Held;
        record.reason = last.reply;
        line.outcome = DeliveryReport::Outcome::Held;
        line.reason = last.reply;
        line.refused = record.refusals();
        return;
    }
    QStringList owed;
    QString reply;
    for (const QString &address : prepared.envelope.recipients) {
        if (!record.settled(address)) {
            owed << address;
            if (const OutboxState::Recipient *r = record.recipient(address); r && reply.isEmpty())
                reply = r->reply;
        }
    }
    line.refused = record.refusals();
    if (!owed.isEmpty() && !putOff(record, owed, reply.isEmpty() ? last.reply : reply)) {
        line.outcome = DeliveryReport::Outcome::Deferred;
        line.reason = record.reason;
        return;
    }
    // Every recipient has had its answer for good.
    line.refused = record.refusals();
    if (record.anyDelivered()) {
        record.state = OutboxState::State::Sent;
        record.reason.clear();
        line.outcome = DeliveryReport::Outcome::Delivered;
        line.reason = last.reply;
        return;
    }
    record.state = OutboxState::State::Failed;
    if (owed.isEmpty())
        record.reason = last.kind == SendOutcome::Kind::Accepted && !line.refused.empty()
                            ? line.refused.front().reply
                            : last.reply;
    line.outcome = DeliveryReport::Outcome::Failed;
    line.reason = record.reason;
}

bool OutboxDelivery::putOff(OutboxState::Record &record, const QStringList &owed,
                            const QString &reply)
{
    const qint64 at = now();
    ++record.attempts;
    if (record.firstDeferMs == 0)
        record.firstDeferMs = at;
    if (at - record.firstDeferMs >= qint64(std::max(1, m_options.maxQueueDays)) * DayMs) {
        // Given up, as mail servers do: these recipients count as refused, the reply kept.
        record.reason = u"Not delivered within %1 days; the last reply: %2"_s.arg(
            QString::number(m_options.maxQueueDays), reply);
        for (const QString &address : owed)
            record.note(address, Outcome::Refused, record.reason);
        return true;
    }
    record.state = OutboxState::State::Queued;
    record.nextAttemptMs = at + m_options.retry.delayMs(record.attempts);
    record.reason = record.anyDelivered()
                        ? u"Delivered to the other recipients; put off for %1: %2"_s.arg(
                              owed.join(u", "_s), reply)
                        : reply;
    noteDue(record.nextAttemptMs);
    return false;
}

void OutboxDelivery::fileInSentItems(Folder &folder, const MaildirFolder::Entry &entry,
                                     DeliveryReport::Message &line, DeliveryReport &report)
{
    OutboxState &state = folder.contents.state;
    Result<MaildirFolder::Entry> done = Result<MaildirFolder::Entry>::failure({});
    try {
        if (!folder.sent)
            folder.sent = m_mailbox.folder(folder.tree, u"Sent Items"_s, true)->directory;
        done = folder.contents.folder.moveTo(entry, MaildirFolder(*folder.sent), u"S"_s,
                                             MaildirFolder::Sync::Later);
    } catch (const OutlookError &error) {
        done = Result<MaildirFolder::Entry>::failure(error.message());
    }
    if (!done.ok()) {
        // Delivered but still here: the next pass tries the move again, never the sending.
        OutboxState::Record &record = state.edit(entry.unique);
        record.reason = u"Delivered, but it cannot be moved to Sent Items: %1"_s.arg(done.error());
        line.reason = record.reason;
        report.problems << record.reason;
        return;
    }
    folder.moved = true;
    if (!line.refused.empty()) {
        if (Status logged = RefusalLog::append(*folder.sent, entry.unique, line.refused, now());
            !logged.ok())
            report.problems << logged.error();
        folder.logged = true;
    }
    state.erase(entry.unique);
}

void OutboxDelivery::fileSentMessages(Folder &folder, DeliveryReport &report)
{
    bool any = false;
    for (const MaildirFolder::Entry &entry : folder.contents.entries) {
        const OutboxState::Record *record = folder.contents.state.find(entry.unique);
        if (!record || record->state != OutboxState::State::Sent)
            continue;
        DeliveryReport::Message line{
            folder.contents.folder.directory(), entry.unique, {},
            DeliveryReport::Outcome::Delivered, {},           record->refusals()};
        fileInSentItems(folder, entry, line, report);
        report.messages.push_back(std::move(line));
        any = true;
    }
    if (any)
        report.problems << finishBatch(folder);
}

QStringList OutboxDelivery::finishBatch(Folder &folder)
{
    // The batch's moves and refusals durable before its names leave the sending list.
    QStringList failures;
    if (folder.moved && folder.sent) {
        if (Status synced = MaildirFolder(*folder.sent).sync(); !synced.ok())
            failures << synced.error();
        if (Status synced = folder.contents.folder.sync(); !synced.ok())
            failures << synced.error();
        folder.moved = false;
    }
    if (folder.logged && folder.sent) {
        if (Status synced = syncFile(RefusalLog::path(*folder.sent)); !synced.ok())
            failures << synced.error();
        folder.logged = false;
    }
    if (Status saved = folder.contents.state.save(); !saved.ok())
        failures << saved.error();
    if (failures.isEmpty()) {
        if (Status ended = folder.contents.state.endSending(); !ended.ok())
            failures << ended.error();
    }
    return failures;
}

} // namespace corvel
