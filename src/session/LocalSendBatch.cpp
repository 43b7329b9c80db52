#include "session/LocalSendBatch.h"

#include "message/OutboxSchedule.h"
#include "session/LocalMailbox.h"
#include "session/LocalMessageItem.h"
#include "session/OutlookSession.h"

#include "message/MailAddressList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

LocalSendBatch::LocalSendBatch(std::shared_ptr<LocalMailbox> mailbox)
    : m_mailbox(std::move(mailbox))
{
}

LocalSendBatch::~LocalSendBatch()
{
    discardAll();
}

void LocalSendBatch::discardAll()
{
    for (Pending &p : m_pending)
        p.folder.discard(p.staged);
    m_pending.clear();
}

void LocalSendBatch::add(const std::shared_ptr<OlItem> &message)
{
    auto item = std::dynamic_pointer_cast<LocalMessageItem>(message);
    if (!item)
        throw OutlookError(u"Only messages of this session can be queued here."_s);
    const LocalMessageItem::Queueing queueing = item->prepareForQueue(m_outboxes);
    stage(std::move(item), queueing.bytes, queueing.outbox, {});
}

void LocalSendBatch::addCopy(const std::shared_ptr<OlItem> &letter, CopyRecipients which,
                             const QString &addresses, const CopyChanges &changes)
{
    auto item = std::dynamic_pointer_cast<LocalMessageItem>(letter);
    if (!item) {
        OlSendBatch::addCopy(letter, which, addresses, changes);
        return;
    }
    const MailMessage::Recipients recipients =
        which == CopyRecipients::To   ? MailMessage::Recipients::To
        : which == CopyRecipients::CC ? MailMessage::Recipients::Cc
                                      : MailMessage::Recipients::Bcc;
    std::optional<LocalMessageItem::Queueing> queueing =
        item->prepareCopyForQueue(recipients, addresses, changes, m_outboxes);
    if (!queueing) {
        OlSendBatch::addCopy(letter, which, addresses, changes);
        return;
    }
    stage(nullptr, queueing->bytes, queueing->outbox, addresses);
}

void LocalSendBatch::stage(std::shared_ptr<LocalMessageItem> item, const QByteArray &bytes,
                           const QString &outbox, const QString &to)
{
    if (!m_saveTo.isEmpty()) {
        m_saved.push_back({bytes, to});
        return;
    }
    MaildirFolder folder(outbox);
    Result<MaildirFolder::Staged> staged = folder.stage(bytes);
    if (!staged.ok())
        throw OutlookError(staged.error());
    m_pending.push_back({std::move(item), std::move(folder), std::move(*staged)});
}

void LocalSendBatch::saveTo(const QString &directory)
{
    QDir dir(directory);
    if (!dir.exists() &&
        (!QDir().mkpath(directory) ||
         !QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner)))
        throw OutlookError(u"The folder %1 cannot be made."_s.arg(directory));
    if (!QFileInfo(directory).isDir())
        throw OutlookError(u"%1 is not a folder."_s.arg(directory));
    m_saveTo = directory;
}

std::vector<OlSendBatch::Queued> LocalSendBatch::commitSaved()
{
    static const QRegularExpression numbered(u"^(\\d+)-"_s);
    qint64 last = 0;
    for (const QString &name : QDir(m_saveTo).entryList(QDir::Files | QDir::Hidden))
        if (const QRegularExpressionMatch match = numbered.match(name); match.hasMatch())
            last = std::max(last, match.captured(1).toLongLong());
    std::vector<Queued> done;
    for (const Saved &saved : m_saved) {
        QString to = saved.to;
        if (Result<MailAddressList> parsed = MailAddressList::parse(to);
            parsed.ok() && !parsed->addresses().empty())
            to = parsed->addresses().front().address;
        to.replace(QRegularExpression(u"[^A-Za-z0-9@._+-]"_s), u"_"_s);
        const QString path = u"%1/%2%3.eml"_s.arg(m_saveTo, u"%1"_s.arg(++last, 6, 10, QChar(u'0')),
                                                  to.isEmpty() ? QString() : u'-' + to.left(100));
        QFile file(path);
        // NewOnly: a file of that name, made meanwhile, is never written over.
        const bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                             file.write(saved.bytes) == saved.bytes.size() && file.flush();
        done.push_back(
            {{},
             written ? QString() : u"%1 cannot be written: %2"_s.arg(path, file.errorString())});
    }
    m_saved.clear();
    return done;
}

Status LocalSendBatch::schedule() const
{
    // A time already past means at once: nothing to keep.
    if (m_notBeforeMs <= QDateTime::currentMSecsSinceEpoch())
        return {};
    std::map<QString, QStringList> byOutbox;
    for (const Pending &p : m_pending)
        byOutbox[p.folder.directory()].append(p.staged.unique);
    for (const auto &[outbox, uniques] : byOutbox)
        if (Status added = OutboxSchedule(outbox).add(uniques, m_notBeforeMs); !added.ok())
            return added;
    return {};
}

std::vector<OlSendBatch::Queued> LocalSendBatch::commit()
{
    if (!m_saveTo.isEmpty())
        return commitSaved();
    if (m_pending.empty())
        return {};
    // Every message's data is safe before any of them can be seen in an Outbox. One sync of
    // the file system does that for a whole batch at the cost of one journal commit, where a
    // sync per message costs one each; a few messages are synced alone, which spares them
    // whatever else the file system has to write.
    std::vector<const MaildirFolder *> outboxes; // each once, in the order first added
    QSet<QString> seen;
    for (const Pending &p : m_pending)
        if (!seen.contains(p.folder.directory())) {
            seen.insert(p.folder.directory());
            outboxes.push_back(&p.folder);
        }
    const bool wholeFileSystem = m_pending.size() >= SyncFileSystemFrom;
    const auto syncData = [&]() -> Status {
        if (wholeFileSystem) {
            for (const MaildirFolder *outbox : outboxes)
                if (Status s = outbox->syncFileSystem(); !s.ok())
                    return s;
        } else {
            for (const Pending &p : m_pending)
                if (Status s = p.folder.syncStaged(p.staged); !s.ok())
                    return s;
        }
        return {};
    };
    Status ready = syncData();
    if (ready.ok())
        ready = schedule();
    if (!ready.ok()) {
        discardAll();
        throw OutlookError(ready.error());
    }
    std::vector<MaildirFolder::Entry> filed;
    filed.reserve(m_pending.size());
    QString failure;
    for (Pending &p : m_pending) {
        Result<MaildirFolder::Entry> entry = p.folder.file(p.staged, QString());
        if (!entry.ok()) {
            failure = entry.error();
            break;
        }
        filed.push_back(std::move(*entry));
    }
    for (const MaildirFolder *outbox : outboxes) {
        if (!failure.isEmpty())
            break;
        if (Status s = outbox->sync(); !s.ok())
            failure = s.error();
    }
    if (!failure.isEmpty()) {
        // Nothing of a failed batch is left queued: what was filed goes again.
        for (std::size_t i = 0; i < filed.size(); ++i)
            (void)m_pending[i].folder.remove(filed[i]);
        discardAll();
        throw OutlookError(failure);
    }
    std::vector<Queued> ids;
    ids.reserve(m_pending.size());
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i].item)
            m_pending[i].item->noteQueued();
        ids.push_back({filed[i].unique, {}});
    }
    m_pending.clear();
    m_mailbox->notifyQueued();
    return ids;
}

} // namespace corvel
