#pragma once

#include "outlook/LocalStore.h"
#include "outlook/OutlookSession.h"

#include <functional>
#include <memory>

namespace corvel {

class LocalItemCatalog;
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

    // An empty lookup reads the system's account of the running user.
    explicit LocalNamespace(const std::vector<LocalStore> &stores, AccountLookup account = {});
    ~LocalNamespace() override;

    [[nodiscard]] QString CurrentUser() override;
    [[nodiscard]] std::vector<std::shared_ptr<OlFolder>> Folders() override;
    [[nodiscard]] std::shared_ptr<OlFolder> GetFolderFromID(const QString &entryId,
                                                            const QString &storeId) override;
    [[nodiscard]] std::shared_ptr<OlItem> GetItemFromID(const QString &entryId) override;

    // Where the session's folders find their items; the readers of each kind plug in here.
    [[nodiscard]] LocalItemCatalog &catalog() { return *m_catalog; }

private:
    std::vector<std::shared_ptr<LocalStoreTree>> m_trees;
    std::shared_ptr<LocalItemCatalog> m_catalog;
    AccountLookup m_account;
};

} // namespace corvel
