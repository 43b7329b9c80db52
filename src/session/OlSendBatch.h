#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace corvel {

class OlItem;

// Many messages queued at the cost of one: added messages are checked and written but not yet
// queued; commit() queues them all, durably, or none. A message the batch refuses on add()
// (OutlookError: bad headers, no recipient) fails alone. A batch dropped without commit()
// queues nothing.
class OlSendBatch
{
public:
    virtual ~OlSendBatch() = default;

    // Throws OutlookError when the message cannot be queued; the batch goes on without it.
    virtual void add(const std::shared_ptr<OlItem> &message) = 0;

    enum class CopyRecipients
    {
        To,
        CC,
        BCC
    };
    // What a copy changes of its letter beside its recipients; all empty: a plain copy.
    struct CopyChanges
    {
        std::optional<QString> body;     // the text, or the letter's own
        std::optional<QString> htmlBody; // its HTML alternative (with `body`), or the letter's
        QStringList attachments;         // files this copy carries beside the letter's
        std::vector<std::pair<QString, QString>> headers; // name, value

        friend bool operator==(const CopyChanges &, const CopyChanges &) = default;
    };
    // Adds a copy of `letter` (which is left as it is) whose recipients of that kind are
    // `addresses` ("; "-separated, as setTo takes them), changed as `changes` say. Throws as
    // add() does. The same as copying, changing and adding the copy;
    // a session may make many copies of one letter faster.
    virtual void addCopy(const std::shared_ptr<OlItem> &letter, CopyRecipients which,
                         const QString &addresses, const CopyChanges &changes);
    // That copy as an item of its own (for a dry run, or a session that queues whole items).
    [[nodiscard]] static std::shared_ptr<OlItem> copyOf(const std::shared_ptr<OlItem> &letter,
                                                        CopyRecipients which,
                                                        const QString &addresses,
                                                        const CopyChanges &changes);
    [[nodiscard]] virtual std::size_t size() const = 0;
    // The messages committed from now on go no earlier than this (ms since the epoch; 0: at
    // once). Throws OutlookError where the session cannot hold messages back.
    virtual void setNotBefore(qint64 notBeforeMs);
    // The messages committed from now on are written as .eml files into `directory` (made,
    // private, when missing) instead of being queued. Throws OutlookError where the session
    // cannot.
    virtual void saveTo(const QString &directory);
    struct Queued
    {
        QString outboxId; // empty where the session cannot name it
        QString error;    // empty: queued
    };
    // Queues every added message and wakes delivery; one entry per message, in the order
    // added. Throws OutlookError when the batch cannot be queued: then none of its messages
    // is. The batch is empty afterwards.
    [[nodiscard]] virtual std::vector<Queued> commit() = 0;
    // Whether commit() may run on another thread than the one that added the messages (which
    // then no longer touches the batch).
    [[nodiscard]] virtual bool mayCommitOnAnotherThread() const { return false; }
};

// The fallback for sessions without a batched Outbox: each message is sent by commit(), on
// its own, and may fail alone.
class ItemByItemSendBatch : public OlSendBatch
{
public:
    void add(const std::shared_ptr<OlItem> &message) override;
    [[nodiscard]] std::size_t size() const override { return m_items.size(); }
    [[nodiscard]] std::vector<Queued> commit() override;

private:
    std::vector<std::shared_ptr<OlItem>> m_items;
};

} // namespace corvel
