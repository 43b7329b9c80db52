#include "delivery/OutboxState.h"

#include "support/AtomicFile.h"
#include "support/FileSync.h"
#include "support/ProcessOwner.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr QByteArrayView BatchHeader = "#corvel-batch";

std::optional<OutboxState::State> stateOf(const QString &name)
{
    for (const auto state : {OutboxState::State::Queued, OutboxState::State::Failed,
                             OutboxState::State::Held, OutboxState::State::Sent}) {
        if (name == OutboxState::stateName(state))
            return state;
    }
    return std::nullopt;
}

QJsonObject toJson(const OutboxState::Record &r)
{
    QJsonArray recipients;
    for (const OutboxState::Recipient &recipient : r.recipients)
        recipients.append(QJsonObject{{u"address"_s, recipient.address},
                                      {u"outcome"_s, OutboxState::outcomeName(recipient.outcome)},
                                      {u"reply"_s, recipient.reply}});
    QJsonObject record{{u"state"_s, OutboxState::stateName(r.state)},
                       {u"attempts"_s, r.attempts},
                       {u"next"_s, double(r.nextAttemptMs)},
                       {u"reason"_s, r.reason},
                       {u"recipients"_s, recipients}};
    if (r.firstDeferMs > 0)
        record.insert(u"since"_s, double(r.firstDeferMs));
    if (!r.legacyRemaining.isEmpty())
        record.insert(u"remaining"_s, QJsonArray::fromStringList(r.legacyRemaining));
    return record;
}

OutboxState::Record fromJson(const QJsonObject &o)
{
    using Outcome = OutboxState::Recipient::Outcome;
    OutboxState::Record record;
    // An unknown state is not taken for queued: the message might go twice.
    record.state = stateOf(o.value(u"state"_s).toString()).value_or(OutboxState::State::Held);
    record.attempts = o.value(u"attempts"_s).toInt();
    record.nextAttemptMs = qint64(o.value(u"next"_s).toDouble());
    record.firstDeferMs = qint64(o.value(u"since"_s).toDouble());
    record.reason = o.value(u"reason"_s).toString();
    for (const QJsonValue &v : o.value(u"recipients"_s).toArray()) {
        const QJsonObject r = v.toObject();
        const QString outcome = r.value(u"outcome"_s).toString();
        record.note(r.value(u"address"_s).toString(),
                    outcome == u"delivered"_s ? Outcome::Delivered
                    : outcome == u"refused"_s ? Outcome::Refused
                                              : Outcome::PutOff,
                    r.value(u"reply"_s).toString());
    }
    // Earlier versions kept the refusals of one pass, temporary ones among them.
    for (const QJsonValue &v : o.value(u"refused"_s).toArray()) {
        const QJsonObject r = v.toObject();
        record.note(r.value(u"address"_s).toString(),
                    r.value(u"temporary"_s).toBool() ? Outcome::PutOff : Outcome::Refused,
                    r.value(u"reply"_s).toString());
    }
    for (const QJsonValue &address : o.value(u"remaining"_s).toArray())
        record.legacyRemaining << address.toString();
    return record;
}

// One message as its batch journal left it.
struct Progress
{
    std::optional<OutboxState::Record> outcome;
    bool done = false;        // the outcome of its pass ("="), not one along the way ("~")
    bool dataPending = false; // data left after the last outcome recorded
};

// What a batch journal says of its run and of each message in it.
struct BatchJournal
{
    QByteArray boot;
    qint64 pid = 0;
    bool syncRule = false; // data left only within a durable "+" line
    QStringList names;
    QString allowedUpTo;
    QHash<QString, Progress> progress;
};

BatchJournal readBatchJournal(const QByteArray &journal)
{
    BatchJournal batch;
    for (const QByteArray &line : journal.split('\n')) {
        if (line.startsWith(BatchHeader)) {
            for (const QByteArray &field : line.split(' ')) {
                if (field.startsWith("boot="))
                    batch.boot = field.mid(5);
                else if (field.startsWith("pid="))
                    batch.pid = field.mid(4).toLongLong();
                else if (field.startsWith("sync="))
                    batch.syncRule = field.mid(5).toInt() > 0;
            }
        } else if (line.startsWith("> ")) {
            batch.progress[QString::fromUtf8(line.mid(2))].dataPending = true;
        } else if (line.startsWith("+ ")) {
            batch.allowedUpTo = QString::fromUtf8(line.mid(2));
        } else if (line.startsWith("= ") || line.startsWith("~ ")) {
            const qsizetype space = line.indexOf(' ', 2);
            if (space < 0)
                continue; // cut short by the interruption
            QJsonParseError error{};
            const QJsonDocument record = QJsonDocument::fromJson(line.mid(space + 1), &error);
            if (error.error != QJsonParseError::NoError || !record.isObject())
                continue;
            Progress &p = batch.progress[QString::fromUtf8(line.mid(2, space - 2))];
            p.outcome = fromJson(record.object());
            p.done = line.startsWith('=');
            p.dataPending = false;
        } else if (!line.isEmpty() && !line.startsWith('\0')) {
            batch.names << QString::fromUtf8(line);
        }
    }
    return batch;
}

} // namespace

const OutboxState::Recipient *OutboxState::Record::recipient(const QString &address) const
{
    for (const Recipient &r : recipients) {
        if (r.address.compare(address, Qt::CaseInsensitive) == 0)
            return &r;
    }
    return nullptr;
}

bool OutboxState::Record::settled(const QString &address) const
{
    const Recipient *r = recipient(address);
    return r && r->outcome != Recipient::Outcome::PutOff;
}

bool OutboxState::Record::anyDelivered() const
{
    for (const Recipient &r : recipients) {
        if (r.outcome == Recipient::Outcome::Delivered)
            return true;
    }
    return false;
}

void OutboxState::Record::note(const QString &address, Recipient::Outcome outcome,
                               const QString &reply)
{
    if (address.isEmpty())
        return;
    for (Recipient &r : recipients) {
        if (r.address.compare(address, Qt::CaseInsensitive) == 0) {
            r.outcome = outcome;
            r.reply = reply;
            return;
        }
    }
    recipients.push_back({address, outcome, reply});
}

std::vector<RecipientRefusal> OutboxState::Record::refusals() const
{
    std::vector<RecipientRefusal> result;
    for (const Recipient &r : recipients) {
        if (r.outcome == Recipient::Outcome::Refused)
            result.push_back({r.address, r.reply, false});
    }
    return result;
}

OutboxState::OutboxState(QString folderDirectory)
    : m_directory(std::move(folderDirectory))
{
}

OutboxState::~OutboxState()
{
    if (m_journal >= 0)
        ::close(m_journal);
}

OutboxState::OutboxState(OutboxState &&other) noexcept
    : m_directory(std::move(other.m_directory))
    , m_records(std::move(other.m_records))
    , m_inHand(std::move(other.m_inHand))
    , m_written(std::move(other.m_written))
    , m_dirty(other.m_dirty)
    , m_journal(std::exchange(other.m_journal, -1))
{
}

QString OutboxState::stateFileName()
{
    return u"corvel-outbox.state"_s;
}

QString OutboxState::sendingFileName()
{
    return u"corvel-outbox.sending"_s;
}

QString OutboxState::lockFileName()
{
    return u"corvel-outbox.lock"_s;
}

QString OutboxState::stateName(State state)
{
    switch (state) {
    case State::Queued:
        return u"queued"_s;
    case State::Failed:
        return u"failed"_s;
    case State::Held:
        return u"held"_s;
    case State::Sent:
        return u"sent"_s;
    }
    return u"queued"_s;
}

QString OutboxState::outcomeName(Recipient::Outcome outcome)
{
    switch (outcome) {
    case Recipient::Outcome::Delivered:
        return u"delivered"_s;
    case Recipient::Outcome::Refused:
        return u"refused"_s;
    case Recipient::Outcome::PutOff:
        return u"put off"_s;
    }
    return {};
}

QByteArray OutboxState::serialized() const
{
    QJsonObject messages;
    for (auto it = m_records.cbegin(); it != m_records.cend(); ++it)
        messages.insert(it.key(), toJson(it.value()));
    return QJsonDocument(QJsonObject{{u"version"_s, 2}, {u"messages"_s, messages}}).toJson();
}

Status OutboxState::load(const QSet<QString> &present, Recovery recovery)
{
    m_records.clear();
    m_inHand.clear();
    m_dirty = false;
    m_written = serialized(); // no file reads as no records
    QFile file(m_directory + u'/' + stateFileName());
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error{};
        m_written = file.readAll();
        const QJsonDocument document = QJsonDocument::fromJson(m_written, &error);
        if (error.error != QJsonParseError::NoError)
            return Status::failure(u"The Outbox state %1 cannot be read: %2"_s.arg(
                file.fileName(), error.errorString()));
        const QJsonObject messages = document.object().value(u"messages"_s).toObject();
        for (auto it = messages.begin(); it != messages.end(); ++it) {
            if (!present.contains(it.key())) {
                m_dirty = true;
                continue;
            }
            m_records.insert(it.key(), fromJson(it.value().toObject()));
        }
    } else if (file.exists()) {
        return Status::failure(
            u"The Outbox state %1 cannot be read: %2"_s.arg(file.fileName(), file.errorString()));
    }

    QFile sending(m_directory + u'/' + sendingFileName());
    if (recovery == Recovery::ReadOnly || !sending.open(QIODevice::ReadOnly))
        return {};
    const QByteArray journal = sending.readAll();
    if (recovery == Recovery::Preview) {
        recoverBatch(journal, present, true);
        m_dirty = false;
        return {};
    }
    recoverBatch(journal, present, false);
    m_dirty = true;
    if (Status saved = save(); !saved.ok())
        return saved;
    return endSending();
}

void OutboxState::recoverBatch(const QByteArray &journal, const QSet<QString> &present,
                               bool maybeLive)
{
    const BatchJournal batch = readBatchJournal(journal);
    const bool syncRule = batch.syncRule;
    const QString &allowedUpTo = batch.allowedUpTo;
    const bool sameBoot = !batch.boot.isEmpty() && batch.boot == ProcessOwner::currentBootId();
    const bool live = maybeLive && sameBoot && ProcessOwner::processAlive(batch.pid);
    // After another boot, with the sync rule: nothing beyond the last "+" line read ever left,
    // and without such a line nothing did.
    bool mayHaveLeft = !allowedUpTo.isEmpty();
    for (const QString &unique : batch.names) {
        const bool within = mayHaveLeft;
        if (syncRule && unique == allowedUpTo)
            mayHaveLeft = false;
        if (!present.contains(unique))
            continue; // delivered and moved before the interruption
        const Progress p = batch.progress.value(unique);
        if (live) {
            const bool final =
                p.outcome && p.done && !p.dataPending &&
                (p.outcome->state == State::Sent || p.outcome->state == State::Failed);
            if (!final)
                m_inHand.insert(unique);
            continue;
        }
        if (p.outcome)
            m_records[unique] = *p.outcome;
        if (p.dataPending) {
            Record &record = m_records[unique];
            record.state = State::Held;
            record.reason = u"Delivery was interrupted after this message was sent and before "
                            "the server answered: it may have been received. Release it only "
                            "if it was not."_s;
            continue;
        }
        if (sameBoot)
            continue;
        // The journal of another boot may have lost its last lines: a message whose outcome
        // was not read cannot be told from one never started, unless the sync rule puts it
        // beyond every message that could have gone.
        const bool settled = p.outcome && (syncRule ? p.done
                                                    : p.outcome->state == State::Sent ||
                                                          p.outcome->state == State::Failed);
        if (!settled && (!syncRule || within)) {
            Record &record = m_records[unique];
            record.state = State::Held;
            record.reason = u"Delivery was interrupted by a restart of the computer while this "
                            "message may have been sent: it may have been received. Release it "
                            "only if it was not."_s;
        }
    }
}

Status OutboxState::save()
{
    if (!m_dirty)
        return {};
    // A pass whose messages all went leaves the records as they were: no write, no fsync.
    const QByteArray bytes = serialized();
    if (bytes == m_written) {
        m_dirty = false;
        return {};
    }
    const Status written = AtomicFile::write(m_directory + u'/' + stateFileName(), bytes, 0600);
    if (!written.ok())
        return Status::failure(u"The Outbox state cannot be written: %1"_s.arg(written.error()));
    m_written = bytes;
    m_dirty = false;
    return {};
}

const OutboxState::Record *OutboxState::find(const QString &unique) const
{
    const auto it = m_records.constFind(unique);
    return it == m_records.cend() ? nullptr : &*it;
}

OutboxState::Record &OutboxState::edit(const QString &unique)
{
    m_dirty = true;
    return m_records[unique];
}

void OutboxState::erase(const QString &unique)
{
    if (m_records.remove(unique) > 0)
        m_dirty = true;
}

Status OutboxState::beginSending(const QStringList &uniques)
{
    const QString path = m_directory + u'/' + sendingFileName();
    const QByteArray header = BatchHeader.toByteArray() + " boot=" + ProcessOwner::currentBootId() +
                              " pid=" + QByteArray::number(qint64(::getpid())) +
                              " sync=" + QByteArray::number(journalSyncEvery) + '\n';
    const Status written =
        AtomicFile::write(path, header + uniques.join(u'\n').toUtf8() + '\n', 0600);
    if (!written.ok())
        return Status::failure(u"The Outbox cannot be marked: %1"_s.arg(written.error()));
    if (m_journal >= 0)
        ::close(m_journal);
    m_journal = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (m_journal < 0)
        return Status::failure(u"The Outbox cannot be marked: %1"_s.arg(qt_error_string(errno)));
    m_batch = uniques;
    m_order.clear();
    m_order.reserve(uniques.size());
    for (qsizetype i = 0; i < uniques.size(); ++i)
        m_order.insert(uniques[i], i);
    m_allowed = -1;
    return {};
}

bool OutboxState::appendJournal(const QByteArray &line)
{
    // Written at once so that it outlives the process; fsynced only as the sync rule asks.
    return m_journal >= 0 && FileSync::writeAll(m_journal, line) == 0;
}

bool OutboxState::noteDataLeaving(const QString &unique)
{
    const qsizetype place = m_order.value(unique, -1);
    if (place >= 0 && place <= m_allowed)
        return appendJournal("> " + unique.toUtf8() + '\n');
    // Beyond what a durable line allows (or not listed at all): allow the next ones, durably.
    QByteArray lines;
    if (place >= 0) {
        m_allowed = std::min<qsizetype>(place + journalSyncEvery - 1, m_batch.size() - 1);
        lines = "+ " + m_batch[m_allowed].toUtf8() + '\n';
    }
    lines += "> " + unique.toUtf8() + '\n';
    if (!appendJournal(lines) || ::fdatasync(m_journal) != 0) {
        m_allowed = -1;
        return false;
    }
    return true;
}

bool OutboxState::noteOutcome(const QString &unique, bool more)
{
    const Record *record = find(unique);
    if (!record)
        return true;
    const QByteArray mark = more ? "~ " : "= ";
    // The common case, short: taken by everyone, to be filed.
    if (record->state == State::Sent && record->refusals().empty())
        return appendJournal(mark + unique.toUtf8() + R"( {"state":"sent"})" + '\n');
    return appendJournal(mark + unique.toUtf8() + ' ' +
                         QJsonDocument(toJson(*record)).toJson(QJsonDocument::Compact) + '\n');
}

Status OutboxState::endSending()
{
    m_batch.clear();
    m_order.clear();
    m_allowed = -1;
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
    }
    const QByteArray path = QFile::encodeName(m_directory + u'/' + sendingFileName());
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        return Status::failure(u"The Outbox mark cannot be removed."_s);
    (void)FileSync::syncDirectory(m_directory);
    return {};
}

} // namespace corvel
