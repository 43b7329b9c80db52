#pragma once

#include "message/MailMessage.h"
#include "message/RecipientCopies.h"
#include "session/OlMessageItem.h"
#include "session/OlSendBatch.h"

#include <map>
#include <memory>
#include <optional>

namespace corvel {

class LocalMailbox;
class LocalStoreTree;

// A mail message of a local store: a file of a Maildir folder, or a new message not saved yet.
// A listed message reads only its header block until more than its Subject is asked for.
// Save writes a new message into the Drafts folder of the first store that has one (saveIn
// into the folder given), and a message with a file back over that file; Send queues it in the
// Outbox of its store (made when missing) and wakes the delivery agent. Contact members throw
// OutlookError.
class LocalMessageItem : public OlMessageItem
{
public:
    // A message of a folder, read when first asked.
    LocalMessageItem(std::shared_ptr<LocalMailbox> mailbox, QString path, QString entryId);
    // A new, unsaved message from the configured sender (throws when that is not an address).
    [[nodiscard]] static std::shared_ptr<LocalMessageItem>
    create(std::shared_ptr<LocalMailbox> mailbox);

    [[nodiscard]] QString EntryID() const override { return m_entryId; }
    void Display() override;

    [[nodiscard]] QString Subject() const override;
    void setSubject(const QString &subject) override;
    [[nodiscard]] QString Body() const override;
    void setBody(const QString &body) override;
    [[nodiscard]] QString HTMLBody() const override;
    void setHTMLBody(const QString &html) override;
    [[nodiscard]] QString ReplyTo() const override;
    void setReplyTo(const QString &addresses) override;
    void setHeader(const QString &name, const QString &value) override;
    [[nodiscard]] QString To() const override;
    void setTo(const QString &addresses) override;
    [[nodiscard]] QString CC() const override;
    void setCC(const QString &addresses) override;
    [[nodiscard]] QString BCC() const override;
    void setBCC(const QString &addresses) override;
    [[nodiscard]] QString From() const override;
    [[nodiscard]] std::vector<MailAttachment> Attachments() const override;
    void AddAttachment(const QString &path) override;
    void RemoveAttachment(int index) override;
    void Save() override;
    void saveIn(const OlFolder &folder) override;
    [[nodiscard]] std::shared_ptr<OlItem> Copy() override;
    void Send() override;

    // Queueing in two steps, for a batch: the message checked and stamped, as its file will be,
    // and the Outbox it goes to (throws OutlookError when it cannot be queued) ...
    struct Queueing
    {
        QByteArray bytes;
        QString outbox;
    };
    // `outboxes`: the Outbox directory of each store, as found so far (filled in here).
    [[nodiscard]] Queueing prepareForQueue(std::map<const LocalStoreTree *, QString> &outboxes);
    // ... then, once it is queued, it can no longer change and a draft leaves Drafts.
    void noteQueued();
    // The same for a copy of this message whose recipients of that kind are `addresses`,
    // changed as `changes` say, made without the copy as an item; nothing when the copy must
    // be made as a whole.
    [[nodiscard]] std::optional<Queueing>
    prepareCopyForQueue(MailMessage::Recipients which, const QString &addresses,
                        const OlSendBatch::CopyChanges &changes,
                        std::map<const LocalStoreTree *, QString> &outboxes);

    // The file the message was read from or last saved to; empty while unsaved.
    [[nodiscard]] const QString &path() const { return m_path; }

private:
    LocalMessageItem(std::shared_ptr<LocalMailbox> mailbox, MailMessage message,
                     std::shared_ptr<LocalStoreTree> store);
    [[nodiscard]] MailMessage &message() const;
    [[nodiscard]] MailMessage &changeable();
    void setRecipients(MailMessage::Recipients which, const QString &addresses);
    [[nodiscard]] std::shared_ptr<LocalStoreTree> homeStore() const;
    // Returns the file's key in the folder.
    QString saveNew(const std::shared_ptr<LocalStoreTree> &store, const QString &relativePath,
                    const QString &directory);
    // Checks `mail` as it is to be queued, and gives it the configured sender where it has none.
    void readyForQueue(MailMessage &mail) const;
    [[nodiscard]] QString outboxOf(std::map<const LocalStoreTree *, QString> &outboxes) const;

    std::shared_ptr<LocalMailbox> m_mailbox;
    std::shared_ptr<LocalStoreTree> m_store; // where it lives or came from; null: first with Drafts
    QString m_path;
    QString m_entryId;
    mutable std::optional<QString> m_subject; // from the header block alone
    mutable std::optional<MailMessage> m_message;
    bool m_changed = false;
    bool m_sent = false;
    // The copies made last, kept while this message is unchanged: the copies of one run share
    // their recipient kind and mostly their body.
    struct Copies
    {
        MailMessage::Recipients which;
        OlSendBatch::CopyChanges changes;
        std::optional<RecipientCopies> made; // none: copied as a whole
    };
    std::optional<Copies> m_copies;
};

} // namespace corvel
