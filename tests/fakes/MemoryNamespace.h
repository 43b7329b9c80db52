#pragma once

#include "session/OutlookSession.h"
#include "session/QueuedMessageStates.h"

#include <QtGlobal>

#include <memory>
#include <optional>

namespace corvel {

class MemoryFolder;
class MemoryItem;

// The in-memory session, a test double of the mail system. Create it with std::make_shared:
// its folders and items keep a weak link back to it.
class MemoryNamespace : public OlNamespace, public std::enable_shared_from_this<MemoryNamespace>
{
public:
    struct SentMessage
    {
        QString subject;
        QString body;
        QString to;
        QString cc;
        QString bcc;
        QString outboxId; // set when queued through a send batch
    };

    MemoryNamespace();

    // Stores come out of Folders() in the order they were added.
    std::shared_ptr<MemoryFolder> addStore(const QString &name);
    // Deletes the folder (with everything below it) or the item with this id.
    bool remove(const QString &entryId);
    // std::nullopt: the session knows no user and CurrentUser() throws.
    void setCurrentUser(std::optional<QString> name) { m_currentUser = std::move(name); }

    [[nodiscard]] const std::vector<SentMessage> &sent() const { return m_sent; }
    // Send batches: a commit that fails queues none of the batch.
    void failSendBatchCommits(bool on = true) { m_commitsFail = on; }
    // A send batch refuses a message to this address (as a bad header would be refused).
    void refuseInSendBatch(const QString &to) { m_refusedTo.append(to); }
    [[nodiscard]] int sendBatchCommits() const { return m_commits; }
    [[nodiscard]] std::shared_ptr<MemoryFolder> store(std::size_t index) const
    {
        return m_stores.at(index);
    }

    // For the session's own folders and items: the session, or an error once it is closed.
    [[nodiscard]] static std::shared_ptr<MemoryNamespace>
    open(const std::weak_ptr<MemoryNamespace> &session);
    [[nodiscard]] QString newEntryId();
    [[nodiscard]] std::shared_ptr<MemoryFolder> draftsFolder() const;
    void recordSent(SentMessage message) { m_sent.push_back(std::move(message)); }

    [[nodiscard]] QString CurrentUser() override;
    [[nodiscard]] std::vector<std::shared_ptr<OlFolder>> Folders() override;
    [[nodiscard]] std::shared_ptr<OlFolder> GetFolderFromID(const QString &entryId,
                                                            const QString &storeId) override;
    [[nodiscard]] std::shared_ptr<OlItem> GetItemFromID(const QString &entryId) override;
    [[nodiscard]] std::unique_ptr<OlSendBatch> createSendBatch() override;
    [[nodiscard]] std::shared_ptr<QueuedMessageStates> queuedMessageStates() override;

private:
    friend class MemorySendBatch;

    std::vector<std::shared_ptr<MemoryFolder>> m_stores;
    std::vector<SentMessage> m_sent;
    std::optional<QString> m_currentUser;
    // Ids of two sessions never match, as with two real profiles.
    quint64 m_sessionTag;
    quint64 m_nextId = 1;
    bool m_commitsFail = false;
    QStringList m_refusedTo;
    int m_commits = 0;
};

} // namespace corvel
