#include "session/LocalMessageItem.h"

#include "message/MaildirFolder.h"
#include "message/MaildirName.h"
#include "session/LocalFolder.h"
#include "session/LocalMailbox.h"
#include "session/LocalStoreTree.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Enough for any real header block; a file without an end to its headers stops here.
constexpr qsizetype MaxHeaderBlock = 1 << 20;

QByteArray readHeaderBlock(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OutlookError(u"The message cannot be read: %1"_s.arg(file.errorString()));
    QByteArray block;
    while (block.size() < MaxHeaderBlock) {
        const QByteArray chunk = file.read(8192);
        if (chunk.isEmpty())
            break;
        const qsizetype from = std::max<qsizetype>(0, block.size() - 3);
        block += chunk;
        const qsizetype lf = block.indexOf("\n\n", from);
        const qsizetype crlf = block.indexOf("\r\n\r\n", from);
        if (lf >= 0 || crlf >= 0)
            break;
    }
    return block;
}

void check(const Status &status)
{
    if (!status.ok())
        throw OutlookError(status.error());
}

QString domainOf(const MailMessage &message)
{
    Result<MailAddressList> from = message.from();
    if (from.ok() && !from->isEmpty()) {
        const QString address = from->addresses().front().address;
        return address.mid(address.lastIndexOf(u'@') + 1);
    }
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? u"localhost"_s : host;
}

} // namespace

LocalMessageItem::LocalMessageItem(std::shared_ptr<LocalMailbox> mailbox, QString path,
                                   QString entryId)
    : m_mailbox(std::move(mailbox))
    , m_store(m_mailbox->storeOf(path))
    , m_path(std::move(path))
    , m_entryId(std::move(entryId))
{
}

LocalMessageItem::LocalMessageItem(std::shared_ptr<LocalMailbox> mailbox, MailMessage message,
                                   std::shared_ptr<LocalStoreTree> store)
    : m_mailbox(std::move(mailbox))
    , m_store(std::move(store))
    , m_message(std::move(message))
    , m_changed(true)
{
}

std::shared_ptr<LocalMessageItem> LocalMessageItem::create(std::shared_ptr<LocalMailbox> mailbox)
{
    MailMessage message = MailMessage::blank();
    const QString sender = mailbox->sender();
    if (Status from = message.setFrom(sender); !from.ok())
        throw OutlookError(u"The sender \"%1\" (settings section \"Transport\", key \"From\") "
                           "cannot be used: %2"_s.arg(sender, from.error()));
    return std::shared_ptr<LocalMessageItem>(
        new LocalMessageItem(std::move(mailbox), std::move(message), nullptr));
}

void LocalMessageItem::Display()
{
    if (m_path.isEmpty())
        throw OutlookError(u"The message has not been saved yet."_s);
    if (!QProcess::startDetached(u"xdg-open"_s, {m_path}))
        throw OutlookError(u"No program could be started to show the message."_s);
}

MailMessage &LocalMessageItem::message() const
{
    if (m_message)
        return *m_message;
    if (m_path.isEmpty()) {
        m_message = MailMessage::blank();
        return *m_message;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw OutlookError(u"The message cannot be read: %1"_s.arg(file.errorString()));
    Result<MailMessage> parsed = MailMessage::parse(file.readAll());
    if (!parsed.ok())
        throw OutlookError(parsed.error());
    m_message = std::move(*parsed);
    return *m_message;
}

MailMessage &LocalMessageItem::changeable()
{
    if (m_sent)
        throw OutlookError(u"The message has been sent and can no longer be changed."_s);
    MailMessage &changed = message();
    m_changed = true;
    m_copies.reset();
    return changed;
}

QString LocalMessageItem::Subject() const
{
    if (m_message || m_path.isEmpty())
        return message().subject();
    if (!m_subject)
        m_subject = MailMessage::subjectOfHeaders(readHeaderBlock(m_path));
    return *m_subject;
}

void LocalMessageItem::setSubject(const QString &subject)
{
    check(changeable().setSubject(subject));
}

QString LocalMessageItem::Body() const
{
    return message().body();
}

void LocalMessageItem::setBody(const QString &body)
{
    changeable().setBody(body);
}

QString LocalMessageItem::HTMLBody() const
{
    return message().htmlBody();
}

void LocalMessageItem::setHTMLBody(const QString &html)
{
    MailMessage &mail = changeable();
    mail.setBodies(mail.body(), html);
}

QString LocalMessageItem::ReplyTo() const
{
    Result<MailAddressList> list = message().replyTo();
    return list.ok() ? list->display() : QString();
}

void LocalMessageItem::setReplyTo(const QString &addresses)
{
    check(changeable().setReplyTo(addresses));
}

void LocalMessageItem::setHeader(const QString &name, const QString &value)
{
    check(changeable().setHeader(name, value));
}

QString LocalMessageItem::To() const
{
    return message().recipients(MailMessage::Recipients::To);
}

void LocalMessageItem::setRecipients(MailMessage::Recipients which, const QString &addresses)
{
    check(changeable().setRecipients(which, addresses));
}

void LocalMessageItem::setTo(const QString &addresses)
{
    setRecipients(MailMessage::Recipients::To, addresses);
}

QString LocalMessageItem::CC() const
{
    return message().recipients(MailMessage::Recipients::Cc);
}

void LocalMessageItem::setCC(const QString &addresses)
{
    setRecipients(MailMessage::Recipients::Cc, addresses);
}

QString LocalMessageItem::BCC() const
{
    return message().recipients(MailMessage::Recipients::Bcc);
}

void LocalMessageItem::setBCC(const QString &addresses)
{
    setRecipients(MailMessage::Recipients::Bcc, addresses);
}

QString LocalMessageItem::From() const
{
    Result<MailAddressList> from = message().from();
    if (from.ok() && !from->isEmpty())
        return from->display();
    // A letter from elsewhere without a sender goes out from the configured one.
    return m_mailbox->sender();
}

std::vector<MailAttachment> LocalMessageItem::Attachments() const
{
    return message().attachments();
}

void LocalMessageItem::AddAttachment(const QString &path)
{
    check(changeable().addAttachment(path));
}

void LocalMessageItem::RemoveAttachment(int index)
{
    check(changeable().removeAttachment(index));
}

std::shared_ptr<LocalStoreTree> LocalMessageItem::homeStore() const
{
    if (m_store)
        return m_store;
    if (auto drafts = m_mailbox->drafts())
        return drafts->tree;
    if (!m_mailbox->stores().empty())
        return m_mailbox->stores().front();
    throw OutlookError(u"No store is open to keep the message in."_s);
}

void LocalMessageItem::Save()
{
    if (m_sent)
        throw OutlookError(u"The message has been sent and can no longer be saved."_s);
    if (!m_path.isEmpty() && !m_changed)
        return;
    if (m_path.isEmpty()) {
        const auto drafts = m_mailbox->drafts();
        if (!drafts)
            throw OutlookError(u"No store has a Drafts folder to save the message in."_s);
        saveNew(drafts->tree, drafts->relativePath, drafts->directory);
        return;
    }
    Result<QByteArray> bytes = message().fileBytes();
    if (!bytes.ok())
        throw OutlookError(bytes.error());

    // Over its own file; another program may have renamed it for its flags meanwhile.
    const QFileInfo info(m_path);
    const QString fileName = info.fileName();
    MaildirFolder folder(QFileInfo(info.absolutePath()).absolutePath());
    MaildirFolder::Entry entry{MaildirName::uniqueOf(fileName), fileName, m_path};
    if (!info.exists()) {
        const auto found = folder.find(entry.unique);
        if (!found)
            throw OutlookError(u"The message cannot be saved: its file is gone."_s);
        entry = *found;
    }
    check(folder.replace(entry, *bytes));
    m_path = entry.path;
    m_subject.reset();
    m_changed = false;
}

void LocalMessageItem::saveIn(const OlFolder &folder)
{
    if (!m_path.isEmpty() || m_sent) {
        Save();
        return;
    }
    const auto *local = dynamic_cast<const LocalFolder *>(&folder);
    if (!local || local->relativePath().isEmpty())
        throw OutlookError(u"The message cannot be saved in \"%1\"."_s.arg(folder.Name()));
    local->rememberSaved(saveNew(local->storeTree(), local->relativePath(),
                                 local->storeTree()->absolutePath(local->relativePath())));
}

QString LocalMessageItem::saveNew(const std::shared_ptr<LocalStoreTree> &store,
                                  const QString &relativePath, const QString &directory)
{
    Result<QByteArray> bytes = message().fileBytes();
    if (!bytes.ok())
        throw OutlookError(bytes.error());
    Result<MaildirFolder::Entry> added = MaildirFolder(directory).add(*bytes, u"D"_s);
    if (!added.ok())
        throw OutlookError(added.error());
    m_path = added->path;
    m_store = store;
    m_entryId = store->itemIdOf(relativePath, added->unique);
    m_subject.reset();
    m_changed = false;
    return added->unique;
}

std::shared_ptr<OlItem> LocalMessageItem::Copy()
{
    Result<MailMessage> copied = message().copy();
    if (!copied.ok())
        throw OutlookError(u"The message cannot be copied: %1"_s.arg(copied.error()));
    return std::shared_ptr<LocalMessageItem>(
        new LocalMessageItem(m_mailbox, std::move(*copied), homeStore()));
}

void LocalMessageItem::readyForQueue(MailMessage &mail) const
{
    check(mail.checkHeaders());
    bool anyRecipient = false;
    for (const auto which :
         {MailMessage::Recipients::To, MailMessage::Recipients::Cc, MailMessage::Recipients::Bcc}) {
        Result<MailAddressList> list = mail.addresses(which);
        if (!list.ok())
            throw OutlookError(list.error());
        anyRecipient = anyRecipient || !list->isEmpty();
    }
    if (!anyRecipient)
        throw OutlookError(u"The message has no recipient."_s);
    if (Result<MailAddressList> from = mail.from(); !from.ok() || from->isEmpty()) {
        const QString sender = m_mailbox->sender();
        if (Status set = mail.setFrom(sender); !set.ok())
            throw OutlookError(u"The sender \"%1\" (settings section \"Transport\", key \"From\") "
                               "cannot be used: %2"_s.arg(sender, set.error()));
    }
}

QString LocalMessageItem::outboxOf(std::map<const LocalStoreTree *, QString> &outboxes) const
{
    const std::shared_ptr<LocalStoreTree> store = homeStore();
    QString &outbox = outboxes[store.get()];
    if (outbox.isEmpty())
        outbox = m_mailbox->folder(store, u"Outbox"_s, true)->directory;
    return outbox;
}

LocalMessageItem::Queueing
LocalMessageItem::prepareForQueue(std::map<const LocalStoreTree *, QString> &outboxes)
{
    if (m_sent)
        throw OutlookError(u"The message has already been sent."_s);
    MailMessage &mail = message();
    readyForQueue(mail);
    mail.stampForSending(QDateTime::currentDateTime(), domainOf(mail));
    Result<QByteArray> bytes = mail.fileBytes();
    if (!bytes.ok())
        throw OutlookError(bytes.error());
    return {std::move(*bytes), outboxOf(outboxes)};
}

std::optional<LocalMessageItem::Queueing>
LocalMessageItem::prepareCopyForQueue(MailMessage::Recipients which, const QString &addresses,
                                      const OlSendBatch::CopyChanges &changes,
                                      std::map<const LocalStoreTree *, QString> &outboxes)
{
    Result<MailAddressList> recipients = MailAddressList::parse(addresses);
    if (!recipients.ok())
        throw OutlookError(recipients.error());
    if (recipients->isEmpty())
        return std::nullopt; // whether the copy has any recipient at all is checked as a whole
    if (!m_copies || m_copies->which != which || m_copies->changes != changes) {
        Result<MailMessage> copy = message().copy();
        if (!copy.ok())
            throw OutlookError(u"The message cannot be copied: %1"_s.arg(copy.error()));
        if (changes.body || changes.htmlBody)
            copy->setBodies(changes.body.value_or(copy->body()),
                            changes.htmlBody.value_or(copy->htmlBody()));
        for (const QString &path : changes.attachments)
            check(copy->addAttachment(path));
        for (const auto &[name, value] : changes.headers)
            check(copy->setHeader(name, value));
        check(copy->setRecipients(which, addresses));
        readyForQueue(*copy);
        Result<RecipientCopies> made = RecipientCopies::of(*copy, which, domainOf(*copy));
        m_copies = Copies{which, changes, std::nullopt};
        if (made.ok())
            m_copies->made = std::move(*made);
    }
    if (!m_copies->made)
        return std::nullopt;
    // Only the instant counts: the Date is written in local time by the encoder.
    Result<QByteArray> bytes =
        m_copies->made->fileBytes(*recipients, QDateTime::currentDateTimeUtc());
    if (!bytes.ok())
        throw OutlookError(bytes.error());
    return Queueing{std::move(*bytes), outboxOf(outboxes)};
}

void LocalMessageItem::noteQueued()
{
    m_sent = true;
    // A draft that is sent leaves Drafts, once its queued copy is safe.
    if (!m_path.isEmpty() && MaildirName::flagsOf(QFileInfo(m_path).fileName()).contains(u'D')) {
        const QFileInfo info(m_path);
        MaildirFolder folder(QFileInfo(info.absolutePath()).absolutePath());
        (void)folder.remove({MaildirName::uniqueOf(info.fileName()), info.fileName(), m_path});
    }
}

void LocalMessageItem::Send()
{
    std::map<const LocalStoreTree *, QString> outboxes;
    const Queueing queueing = prepareForQueue(outboxes);
    Result<MaildirFolder::Entry> queued =
        MaildirFolder(queueing.outbox).add(queueing.bytes, QString());
    if (!queued.ok())
        throw OutlookError(queued.error());
    noteQueued();
    m_mailbox->notifyQueued();
}

} // namespace corvel
