#include "session/OutboxQueue.h"

#include "message/MailMessage.h"
#include "message/MaildirFolder.h"
#include "session/LocalMailbox.h"
#include "session/OutlookSession.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

QStringList sendingNow(const QString &directory)
{
    QFile file(directory + u'/' + OutboxState::sendingFileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

OutboxQueue::OutboxQueue(const LocalMailbox &mailbox)
    : m_mailbox(mailbox)
{
}

std::vector<OutboxQueue::Message> OutboxQueue::messages() const
{
    std::vector<Message> result;
    for (const auto &tree : m_mailbox.stores()) {
        const auto outbox = m_mailbox.folder(tree, u"Outbox"_s, false);
        if (!outbox)
            continue;
        Result<std::vector<MaildirFolder::Entry>> entries =
            MaildirFolder(outbox->directory).entries();
        if (!entries.ok())
            throw OutlookError(entries.error());
        QSet<QString> present;
        for (const auto &entry : *entries)
            present.insert(entry.unique);
        // Recovery of an interrupted batch belongs to a delivery pass, which may be running
        // now: the records are only read here.
        const QStringList inHand = sendingNow(outbox->directory);
        OutboxState state(outbox->directory);
        const Status loaded = state.load(present, OutboxState::Recovery::ReadOnly);
        if (!loaded.ok())
            throw OutlookError(loaded.error());
        for (const auto &entry : *entries) {
            Message m{outbox->directory,
                      entry.unique,
                      entry.path,
                      subjectOf(entry.path),
                      u"queued"_s,
                      {},
                      0,
                      0,
                      {}};
            if (const OutboxState::Record *record = state.find(entry.unique)) {
                m.state = OutboxState::stateName(record->state);
                if (record->state == OutboxState::State::Queued && record->attempts > 0)
                    m.state = u"deferred"_s;
                m.reason = record->reason;
                m.attempts = record->attempts;
                m.nextAttemptMs = record->nextAttemptMs;
                m.refused = record->refused;
            }
            if (inHand.contains(entry.unique))
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
        if (!outbox)
            continue;
        const MaildirFolder folder(outbox->directory);
        if (!folder.find(unique))
            continue;
        const QByteArray lockPath =
            QFile::encodeName(outbox->directory + u'/' + OutboxState::lockFileName());
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (fd >= 0)
                ::close(fd);
            return Status::failure(u"A delivery is running; try again when it has finished."_s);
        }
        Result<std::vector<MaildirFolder::Entry>> entries = folder.entries();
        QSet<QString> present;
        if (entries.ok()) {
            for (const auto &entry : *entries)
                present.insert(entry.unique);
        }
        OutboxState state(outbox->directory);
        Status done = state.load(present);
        if (done.ok()) {
            OutboxState::Record &record = state.edit(unique);
            record = OutboxState::Record{};
            state.erase(unique);
            done = state.save();
        }
        ::close(fd);
        return done;
    }
    return Status::failure(u"No Outbox holds the message %1."_s.arg(unique));
}

} // namespace corvel
