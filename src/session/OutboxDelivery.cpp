#include "session/OutboxDelivery.h"

#include "message/MailMessage.h"
#include "message/MaildirFolder.h"
#include "message/OutboxState.h"
#include "session/LocalMailbox.h"
#include "session/OutlookSession.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

struct OutboxDelivery::Folder
{
    std::shared_ptr<LocalStoreTree> tree;
    QString outbox;
    std::optional<QString> sent; // found or made when the first message goes
};

namespace {

// Holds the Outbox's lock file for one pass; other programs delivering it are kept out.
class OutboxLock
{
public:
    explicit OutboxLock(const QString &directory)
    {
        const QByteArray path = QFile::encodeName(directory + u'/' + OutboxState::lockFileName());
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~OutboxLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OutboxLock(const OutboxLock &) = delete;
    OutboxLock &operator=(const OutboxLock &) = delete;
    [[nodiscard]] bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

struct Prepared
{
    MailEnvelope envelope;
    QByteArray bytes;
    QString subject;
    QString problem; // the message can never go as it is
};

Prepared prepare(const QString &path, MailTransport::LineEnds lineEnds, const LocalMailbox &mailbox)
{
    Prepared prepared;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        prepared.problem = u"The message cannot be read: %1"_s.arg(file.errorString());
        return prepared;
    }
    Result<MailMessage> parsed = MailMessage::parse(file.readAll());
    if (!parsed.ok()) {
        prepared.problem = parsed.error();
        return prepared;
    }
    MailMessage &message = *parsed;
    prepared.subject = message.subject();
    if (Status safe = message.checkHeaders(); !safe.ok()) {
        prepared.problem = safe.error();
        return prepared;
    }
    Result<MailAddressList> from = message.from();
    if (from.ok() && from->isEmpty()) {
        if (Status set = message.setFrom(mailbox.sender()); !set.ok()) {
            prepared.problem = u"The message has no sender, and the configured one cannot be "
                               "used: %1"_s.arg(set.error());
            return prepared;
        }
        from = message.from();
    }
    if (!from.ok() || from->isEmpty()) {
        prepared.problem = u"The message has no sender."_s;
        return prepared;
    }
    prepared.envelope.from = from->addresses().front().address;
    QSet<QString> seen;
    for (const auto which :
         {MailMessage::Recipients::To, MailMessage::Recipients::Cc, MailMessage::Recipients::Bcc}) {
        Result<MailAddressList> list = message.addresses(which);
        if (!list.ok()) {
            prepared.problem = list.error();
            return prepared;
        }
        for (const MailAddress &address : list->addresses()) {
            if (!seen.contains(address.address.toLower())) {
                seen.insert(address.address.toLower());
                prepared.envelope.recipients.push_back(address.address);
            }
        }
    }
    if (prepared.envelope.recipients.empty()) {
        prepared.problem = u"The message has no recipient."_s;
        return prepared;
    }
    Result<QByteArray> bytes =
        lineEnds == MailTransport::LineEnds::Crlf ? message.wireBytes() : message.localBytes();
    if (!bytes.ok()) {
        prepared.problem = bytes.error();
        return prepared;
    }
    prepared.bytes = std::move(*bytes);
    return prepared;
}

// Refusals of delivered messages, one JSON line each, beside them in Sent Items.
Status appendRefusals(const QString &sentDirectory, const QByteArray &lines)
{
    if (lines.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(sentDirectory + u"/corvel-refused.log"_s);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return Status::failure(u"The refused recipients cannot be recorded."_s);
    const bool ok =
        ::write(fd, lines.constData(), size_t(lines.size())) == lines.size() && ::fsync(fd) == 0;
    ::close(fd);
    return ok ? Status() : Status::failure(u"The refused recipients cannot be recorded."_s);
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

qint64 OutboxDelivery::now() const
{
    return m_options.nowMs ? m_options.nowMs() : QDateTime::currentMSecsSinceEpoch();
}

DeliveryReport OutboxDelivery::run()
{
    DeliveryReport report;
    m_nextDueMs = 0;
    for (const auto &tree : m_mailbox.stores()) {
        std::optional<LocalMailbox::Place> outbox;
        try {
            outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        } catch (const OutlookError &error) {
            report.problems << error.message();
        }
        if (!outbox)
            continue;
        Folder folder{tree, outbox->directory, std::nullopt};
        if (!deliverFolder(folder, report))
            break;
    }
    if (m_transport)
        m_transport->close();
    return report;
}

bool OutboxDelivery::deliverFolder(Folder &folder, DeliveryReport &report)
{
    OutboxLock lock(folder.outbox);
    if (!lock.held()) {
        report.problems << u"Another program is delivering %1."_s.arg(folder.outbox);
        return true;
    }
    const MaildirFolder outbox(folder.outbox);
    Result<std::vector<MaildirFolder::Entry>> entries = outbox.entries();
    if (!entries.ok()) {
        report.problems << entries.error();
        return true;
    }
    QSet<QString> present;
    for (const auto &entry : *entries)
        present.insert(entry.unique);
    OutboxState state(folder.outbox);
    if (Status loaded = state.load(present); !loaded.ok()) {
        // Without the records a held message could go twice: leave this Outbox alone.
        report.problems << loaded.error();
        return true;
    }

    std::vector<MaildirFolder::Entry> due;
    const qint64 started = now();
    for (auto &entry : *entries) {
        const OutboxState::Record *record = state.find(entry.unique);
        if (record && record->state != OutboxState::State::Queued)
            continue;
        if (record && record->nextAttemptMs > started && !m_options.ignoreBackoff) {
            ++report.waiting;
            if (m_nextDueMs == 0 || record->nextAttemptMs < m_nextDueMs)
                m_nextDueMs = record->nextAttemptMs;
            continue;
        }
        due.push_back(std::move(entry));
    }
    if (due.empty())
        return true;
    if (!m_transport) {
        report.waiting += int(due.size());
        if (!report.problems.contains(m_noTransport))
            report.problems << m_noTransport;
        return true;
    }

    const MailTransport::LineEnds lineEnds = m_transport->lineEnds();
    const qsizetype batchSize = std::max(1, m_options.batchSize);
    for (qsizetype first = 0; first < qsizetype(due.size()); first += batchSize) {
        if (m_options.stopRequested && m_options.stopRequested()) {
            report.waiting += int(due.size() - first);
            report.problems << u"Delivery was stopped."_s;
            return false;
        }
        const qsizetype last = std::min<qsizetype>(first + batchSize, qsizetype(due.size()));
        QStringList names;
        for (qsizetype i = first; i < last; ++i)
            names << due[size_t(i)].unique;
        if (Status marked = state.beginSending(names); !marked.ok()) {
            report.problems << marked.error();
            report.waiting += int(due.size() - first);
            return false;
        }

        bool moved = false;
        bool carryOn = true;
        QByteArray refusals;
        qsizetype i = first;
        for (; i < last; ++i) {
            if (m_options.stopRequested && m_options.stopRequested()) {
                report.problems << u"Delivery was stopped."_s;
                carryOn = false;
                break;
            }
            const MaildirFolder::Entry &entry = due[size_t(i)];
            Prepared prepared = prepare(entry.path, lineEnds, m_mailbox);
            DeliveryReport::Message line{folder.outbox,
                                         entry.unique,
                                         prepared.subject,
                                         DeliveryReport::Outcome::Failed,
                                         {},
                                         {}};
            if (!prepared.problem.isEmpty()) {
                OutboxState::Record &record = state.edit(entry.unique);
                record.state = OutboxState::State::Failed;
                record.reason = prepared.problem;
                line.reason = prepared.problem;
                report.messages.push_back(std::move(line));
                continue;
            }
            // After a partial delivery only the recipients put off are tried again.
            if (const OutboxState::Record *known = state.find(entry.unique);
                known && !known->remaining.isEmpty()) {
                std::vector<QString> still;
                for (const QString &address : prepared.envelope.recipients) {
                    if (known->remaining.contains(address, Qt::CaseInsensitive))
                        still.push_back(address);
                }
                prepared.envelope.recipients = std::move(still);
            }
            const SendOutcome outcome = m_transport->send(prepared.envelope, prepared.bytes);
            if (outcome.kind == SendOutcome::Kind::Unavailable) {
                report.problems << outcome.reply;
                carryOn = false;
                break;
            }
            line.reason = outcome.reply;
            line.refused = outcome.refused;
            switch (outcome.kind) {
            case SendOutcome::Kind::Accepted: {
                QStringList putOff;
                for (const RecipientRefusal &refusal : outcome.refused) {
                    if (refusal.temporary)
                        putOff << refusal.address;
                }
                if (!putOff.isEmpty()) {
                    // Taken for the others: the message stays queued for these alone, so
                    // nobody gets it twice and nobody goes without it.
                    line.outcome = DeliveryReport::Outcome::Deferred;
                    OutboxState::Record &record = state.edit(entry.unique);
                    record.state = OutboxState::State::Queued;
                    ++record.attempts;
                    record.nextAttemptMs = now() + m_options.retry.delayMs(record.attempts);
                    record.reason = u"Delivered to the other recipients; put off for %1: %2"_s.arg(
                        putOff.join(u", "_s), outcome.reply);
                    record.remaining = putOff;
                    for (const RecipientRefusal &refusal : outcome.refused) {
                        if (!refusal.temporary)
                            record.refused.push_back(refusal);
                    }
                    if (m_nextDueMs == 0 || record.nextAttemptMs < m_nextDueMs)
                        m_nextDueMs = record.nextAttemptMs;
                    break;
                }
                line.outcome = DeliveryReport::Outcome::Delivered;
                Result<MaildirFolder::Entry> done = Result<MaildirFolder::Entry>::failure({});
                try {
                    if (!folder.sent)
                        folder.sent =
                            m_mailbox.folder(folder.tree, u"Sent Items"_s, true)->directory;
                    done = outbox.moveTo(entry, MaildirFolder(*folder.sent), u"S"_s,
                                         MaildirFolder::Sync::Later);
                } catch (const OutlookError &error) {
                    done = Result<MaildirFolder::Entry>::failure(error.message());
                }
                if (!done.ok()) {
                    // Accepted but still here: it must not go a second time.
                    OutboxState::Record &record = state.edit(entry.unique);
                    record.state = OutboxState::State::Held;
                    record.reason =
                        u"Delivered, but it cannot be moved to Sent Items: %1"_s.arg(done.error());
                    line.reason = record.reason;
                } else {
                    moved = true;
                    // Refusals of earlier partial deliveries are logged with this one's.
                    std::vector<RecipientRefusal> refused = outcome.refused;
                    if (const OutboxState::Record *earlier = state.find(entry.unique))
                        refused.insert(refused.begin(), earlier->refused.begin(),
                                       earlier->refused.end());
                    state.erase(entry.unique);
                    for (const RecipientRefusal &refusal : refused) {
                        refusals += QJsonDocument(QJsonObject{{u"message"_s, entry.unique},
                                                              {u"address"_s, refusal.address},
                                                              {u"reply"_s, refusal.reply},
                                                              {u"time"_s, double(now())}})
                                        .toJson(QJsonDocument::Compact) +
                                    '\n';
                    }
                }
                break;
            }
            case SendOutcome::Kind::Deferred: {
                line.outcome = DeliveryReport::Outcome::Deferred;
                OutboxState::Record &record = state.edit(entry.unique);
                record.state = OutboxState::State::Queued;
                ++record.attempts;
                record.nextAttemptMs = now() + m_options.retry.delayMs(record.attempts);
                record.reason = outcome.reply;
                record.refused = outcome.refused;
                if (m_nextDueMs == 0 || record.nextAttemptMs < m_nextDueMs)
                    m_nextDueMs = record.nextAttemptMs;
                break;
            }
            case SendOutcome::Kind::Failed: {
                line.outcome = DeliveryReport::Outcome::Failed;
                OutboxState::Record &record = state.edit(entry.unique);
                record.state = OutboxState::State::Failed;
                record.reason = outcome.reply;
                record.refused = outcome.refused;
                break;
            }
            case SendOutcome::Kind::Unknown:
            case SendOutcome::Kind::Unavailable: {
                line.outcome = DeliveryReport::Outcome::Held;
                OutboxState::Record &record = state.edit(entry.unique);
                record.state = OutboxState::State::Held;
                record.reason = outcome.reply;
                break;
            }
            }
            report.messages.push_back(std::move(line));
        }

        // The batch's moves durable before its names leave the sending list.
        QStringList failures;
        if (moved && folder.sent) {
            if (Status synced = MaildirFolder(*folder.sent).sync(); !synced.ok())
                failures << synced.error();
            if (Status synced = outbox.sync(); !synced.ok())
                failures << synced.error();
        }
        if (folder.sent) {
            if (Status logged = appendRefusals(*folder.sent, refusals); !logged.ok())
                failures << logged.error();
        }
        if (Status saved = state.save(); !saved.ok())
            failures << saved.error();
        if (failures.isEmpty()) {
            if (Status ended = state.endSending(); !ended.ok())
                failures << ended.error();
        }
        if (!failures.isEmpty()) {
            // The sending list stays: at the next start its messages are held, not resent.
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

} // namespace corvel
