#pragma once

#include "session/LocalStore.h"
#include "session/OutlookSession.h"

#include <functional>
#include <memory>

namespace corvel {

class CRegSettings;
class LocalItemCatalog;
class LocalMailbox;
class LocalStoreTree;

// The session of the local mail system: its stores are directories, in the registered order.
class LocalNamespace : public OlNamespace
{
public:
    struct Account
    {
        QString fullName; // as the system holds it: may carry ",room,phone" after the name
        QString login;
    };
    using AccountLookup = std::function<Account()>;

    // An empty lookup reads the system's account of the running user. `settings` (section
    // "Transport": the sender) must outlive the session; without them new mail comes from the
    // account. Queued mail waits in the Outbox until a delivery is attached (LocalDelivery).
    explicit LocalNamespace(const std::vector<LocalStore> &stores, AccountLookup account = {},
                            const CRegSettings *settings = nullptr);
    ~LocalNamespace() override;

    [[nodiscard]] QString CurrentUser() override;
    [[nodiscard]] std::vector<std::shared_ptr<OlFolder>> Folders() override;
    [[nodiscard]] std::shared_ptr<OlFolder> GetFolderFromID(const QString &entryId,
                                                            const QString &storeId) override;
    [[nodiscard]] std::shared_ptr<OlItem> GetItemFromID(const QString &entryId) override;
    [[nodiscard]] std::unique_ptr<OlSendBatch> createSendBatch() override;
    [[nodiscard]] std::shared_ptr<QueuedMessageStates> queuedMessageStates() override;

    // Where the session's folders find their items; the readers of each kind plug in here.
    [[nodiscard]] LocalItemCatalog &catalog() { return *m_catalog; }
    // Where messages are saved and queued.
    [[nodiscard]] const std::shared_ptr<LocalMailbox> &mailbox() const { return m_mailbox; }
    // What became of queued messages is known to whatever delivers them, a layer above the
    // store, which plugs in here; until then the session cannot tell.
    using QueuedStatesLookup = std::function<std::shared_ptr<QueuedMessageStates>()>;
    void setQueuedMessageStates(QueuedStatesLookup lookup) { m_queuedStates = std::move(lookup); }

private:
    std::vector<std::shared_ptr<LocalStoreTree>> m_trees;
    std::shared_ptr<LocalItemCatalog> m_catalog;
    AccountLookup m_account;
    std::shared_ptr<LocalMailbox> m_mailbox;
    QueuedStatesLookup m_queuedStates;
};

} // namespace corvel
