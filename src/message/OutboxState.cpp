#include "message/OutboxState.h"

#include "support/AtomicFile.h"

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

std::optional<OutboxState::State> stateOf(const QString &name)
{
    if (name == u"queued"_s)
        return OutboxState::State::Queued;
    if (name == u"failed"_s)
        return OutboxState::State::Failed;
    if (name == u"held"_s)
        return OutboxState::State::Held;
    return std::nullopt;
}

} // namespace

OutboxState::OutboxState(QString folderDirectory)
    : m_directory(std::move(folderDirectory))
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
    }
    return u"queued"_s;
}

Status OutboxState::load(const QSet<QString> &present, Recovery recovery)
{
    m_records.clear();
    m_dirty = false;
    QFile file(m_directory + u'/' + stateFileName());
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError)
            return Status::failure(u"The Outbox state %1 cannot be read: %2"_s.arg(
                file.fileName(), error.errorString()));
        const QJsonObject messages = document.object().value(u"messages"_s).toObject();
        for (auto it = messages.begin(); it != messages.end(); ++it) {
            if (!present.contains(it.key())) {
                m_dirty = true;
                continue;
            }
            const QJsonObject o = it.value().toObject();
            Record record;
            // An unknown state is not taken for queued: the message might go twice.
            record.state = stateOf(o.value(u"state"_s).toString()).value_or(State::Held);
            record.attempts = o.value(u"attempts"_s).toInt();
            record.nextAttemptMs = qint64(o.value(u"next"_s).toDouble());
            record.reason = o.value(u"reason"_s).toString();
            for (const QJsonValue &r : o.value(u"refused"_s).toArray()) {
                const QJsonObject refusal = r.toObject();
                record.refused.push_back({refusal.value(u"address"_s).toString(),
                                          refusal.value(u"reply"_s).toString(),
                                          refusal.value(u"temporary"_s).toBool()});
            }
            for (const QJsonValue &address : o.value(u"remaining"_s).toArray())
                record.remaining << address.toString();
            m_records.insert(it.key(), std::move(record));
        }
    } else if (file.exists()) {
        return Status::failure(
            u"The Outbox state %1 cannot be read: %2"_s.arg(file.fileName(), file.errorString()));
    }

    QFile sending(m_directory + u'/' + sendingFileName());
    if (recovery == Recovery::Recover && sending.open(QIODevice::ReadOnly)) {
        const QStringList names =
            QString::fromUtf8(sending.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &unique : names) {
            if (!present.contains(unique))
                continue; // delivered and moved before the interruption
            Record &record = edit(unique);
            if (record.state == State::Failed)
                continue;
            record.state = State::Held;
            record.reason = u"Delivery was interrupted while this message was being sent; the "
                            "server may have received it."_s;
        }
        m_dirty = true;
        if (Status saved = save(); !saved.ok())
            return saved;
        if (Status ended = endSending(); !ended.ok())
            return ended;
    }
    return {};
}

Status OutboxState::save()
{
    if (!m_dirty)
        return {};
    QJsonObject messages;
    for (auto it = m_records.cbegin(); it != m_records.cend(); ++it) {
        const Record &r = it.value();
        QJsonArray refused;
        for (const RecipientRefusal &refusal : r.refused)
            refused.append(QJsonObject{{u"address"_s, refusal.address},
                                       {u"reply"_s, refusal.reply},
                                       {u"temporary"_s, refusal.temporary}});
        QJsonObject record{{u"state"_s, stateName(r.state)},
                           {u"attempts"_s, r.attempts},
                           {u"next"_s, double(r.nextAttemptMs)},
                           {u"reason"_s, r.reason},
                           {u"refused"_s, refused}};
        if (!r.remaining.isEmpty())
            record.insert(u"remaining"_s, QJsonArray::fromStringList(r.remaining));
        messages.insert(it.key(), record);
    }
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{u"version"_s, 1}, {u"messages"_s, messages}}).toJson();
    const QString problem = AtomicFile::write(m_directory + u'/' + stateFileName(), bytes, 0600);
    if (!problem.isEmpty())
        return Status::failure(u"The Outbox state cannot be written: %1"_s.arg(problem));
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
    const QString problem = AtomicFile::write(m_directory + u'/' + sendingFileName(),
                                              uniques.join(u'\n').toUtf8() + '\n', 0600);
    if (!problem.isEmpty())
        return Status::failure(u"The Outbox cannot be marked: %1"_s.arg(problem));
    return {};
}

Status OutboxState::endSending()
{
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
