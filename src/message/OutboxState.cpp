#include "message/OutboxState.h"

#include "support/AtomicFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <csignal>

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

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
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

QByteArray OutboxState::bootId()
{
    QFile file(u"/proc/sys/kernel/random/boot_id"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
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
    struct Progress
    {
        std::optional<Record> outcome;
        bool dataPending = false; // data left after the last outcome recorded
    };
    QByteArray boot;
    qint64 pid = 0;
    QStringList names;
    QHash<QString, Progress> progress;
    for (const QByteArray &line : journal.split('\n')) {
        if (line.startsWith(BatchHeader)) {
            for (const QByteArray &field : line.split(' ')) {
                if (field.startsWith("boot="))
                    boot = field.mid(5);
                else if (field.startsWith("pid="))
                    pid = field.mid(4).toLongLong();
            }
        } else if (line.startsWith("> ")) {
            progress[QString::fromUtf8(line.mid(2))].dataPending = true;
        } else if (line.startsWith("= ")) {
            const qsizetype space = line.indexOf(' ', 2);
            if (space < 0)
                continue; // cut short by the interruption
            QJsonParseError error{};
            const QJsonDocument record = QJsonDocument::fromJson(line.mid(space + 1), &error);
            if (error.error != QJsonParseError::NoError || !record.isObject())
                continue;
            Progress &p = progress[QString::fromUtf8(line.mid(2, space - 2))];
            p.outcome = fromJson(record.object());
            p.dataPending = false;
        } else if (!line.isEmpty()) {
            names << QString::fromUtf8(line);
        }
    }
    const bool sameBoot = !boot.isEmpty() && boot == bootId();
    const bool live = maybeLive && sameBoot && processAlive(pid);
    for (const QString &unique : names) {
        if (!present.contains(unique))
            continue; // delivered and moved before the interruption
        const Progress p = progress.value(unique);
        const bool final = p.outcome && !p.dataPending &&
                           (p.outcome->state == State::Sent || p.outcome->state == State::Failed);
        if (live) {
            if (!final)
                m_inHand.insert(unique);
            continue;
        }
        if (p.outcome)
            m_records[unique] = *p.outcome;
        // Without the journal of this boot a message whose data may have left cannot be told
        // from one never started: hold it rather than risk sending it twice.
        if (p.dataPending || (!sameBoot && !final)) {
            Record &record = m_records[unique];
            record.state = State::Held;
            record.reason = u"Delivery was interrupted after this message was sent and before "
                            "the server answered: it may have been received. Release it only "
                            "if it was not."_s;
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
    const QString problem = AtomicFile::write(m_directory + u'/' + stateFileName(), bytes, 0600);
    if (!problem.isEmpty())
        return Status::failure(u"The Outbox state cannot be written: %1"_s.arg(problem));
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
    const QByteArray header = BatchHeader.toByteArray() + " boot=" + bootId() +
                              " pid=" + QByteArray::number(qint64(::getpid())) + '\n';
    const QString problem =
        AtomicFile::write(path, header + uniques.join(u'\n').toUtf8() + '\n', 0600);
    if (!problem.isEmpty())
        return Status::failure(u"The Outbox cannot be marked: %1"_s.arg(problem));
    if (m_journal >= 0)
        ::close(m_journal);
    m_journal = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (m_journal < 0)
        return Status::failure(u"The Outbox cannot be marked: %1"_s.arg(qt_error_string(errno)));
    return {};
}

bool OutboxState::appendJournal(const QByteArray &line)
{
    // No fsync: the line must outlive the process, not the machine (see the class comment).
    return m_journal >= 0 &&
           ::write(m_journal, line.constData(), size_t(line.size())) == ssize_t(line.size());
}

bool OutboxState::noteDataLeaving(const QString &unique)
{
    return appendJournal("> " + unique.toUtf8() + '\n');
}

bool OutboxState::noteOutcome(const QString &unique)
{
    const Record *record = find(unique);
    if (!record)
        return true;
    // The common case, short: taken by everyone, to be filed.
    if (record->state == State::Sent && record->refusals().empty())
        return appendJournal("= " + unique.toUtf8() + R"( {"state":"sent"})" + '\n');
    return appendJournal("= " + unique.toUtf8() + ' ' +
                         QJsonDocument(toJson(*record)).toJson(QJsonDocument::Compact) + '\n');
}

Status OutboxState::endSending()
{
    if (m_journal >= 0) {
        ::close(m_journal);
        m_journal = -1;
    }
    const QByteArray path = QFile::encodeName(m_directory + u'/' + sendingFileName());
    if (::unlink(path.constData()) != 0 && errno != ENOENT)
        return Status::failure(u"The Outbox mark cannot be removed."_s);
    const int fd =
        ::open(QFile::encodeName(m_directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return {};
}

} // namespace corvel
