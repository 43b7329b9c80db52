#pragma once

#include "message/MaildirFolder.h"
#include "session/OlSendBatch.h"

#include <map>
#include <memory>
#include <vector>

namespace corvel {

class LocalMailbox;
class LocalMessageItem;
class LocalStoreTree;

// Messages of a local session queued together: each is written into its Outbox's tmp/ when
// added, unsynced; commit() syncs their data, files them all and syncs each Outbox once, then
// wakes delivery once. The Outbox id is the message's Maildir unique name, which it keeps in
// Sent Items. A batch dropped uncommitted removes what it wrote; one killed leaves files in
// tmp/ that the next writer removes (their writer is gone; they were never queued).
class LocalSendBatch : public OlSendBatch
{
public:
    explicit LocalSendBatch(std::shared_ptr<LocalMailbox> mailbox);
    ~LocalSendBatch() override;
    LocalSendBatch(const LocalSendBatch &) = delete;
    LocalSendBatch &operator=(const LocalSendBatch &) = delete;

    void add(const std::shared_ptr<OlItem> &message) override;
    // Copies of a letter of this session are written from its file form, made once.
    void addCopy(const std::shared_ptr<OlItem> &letter, CopyRecipients which,
                 const QString &addresses, const CopyChanges &changes) override;
    [[nodiscard]] std::size_t size() const override { return m_pending.size() + m_saved.size(); }
    // Kept in each Outbox's schedule (OutboxSchedule), durably before the messages are filed.
    void setNotBefore(qint64 notBeforeMs) override { m_notBeforeMs = notBeforeMs; }
    // Files named "NNNNNN-ADDRESS.eml", numbered on from the highest number in the folder so
    // that they sort in the order added; none is ever overwritten.
    void saveTo(const QString &directory) override;
    [[nodiscard]] std::vector<Queued> commit() override;
    // Only files and the mailbox's listener (which is thread-safe) are touched.
    [[nodiscard]] bool mayCommitOnAnotherThread() const override { return true; }

private:
    struct Pending
    {
        std::shared_ptr<LocalMessageItem> item; // null for a copy written from its letter
        MaildirFolder folder;
        MaildirFolder::Staged staged;
    };
    // `to`: whom the message is for, to name a saved file.
    void stage(std::shared_ptr<LocalMessageItem> item, const QByteArray &bytes,
               const QString &outbox, const QString &to);
    [[nodiscard]] std::vector<Queued> commitSaved();
    void discardAll();
    [[nodiscard]] Status schedule() const;

    static constexpr std::size_t SyncFileSystemFrom = 16;

    std::shared_ptr<LocalMailbox> m_mailbox;
    std::vector<Pending> m_pending;
    struct Saved
    {
        QByteArray bytes;
        QString to;
    };
    QString m_saveTo;
    std::vector<Saved> m_saved;
    qint64 m_notBeforeMs = 0;
    // The Outbox of each store, found once for the batch.
    std::map<const LocalStoreTree *, QString> m_outboxes;
};

} // namespace corvel
