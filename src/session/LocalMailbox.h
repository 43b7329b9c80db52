#pragma once

#include "session/LocalStore.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace corvel {

class LocalStoreTree;

// Where a local session files messages: the special folders of its stores (found by name, as
// "Drafts", "Outbox" and "Sent Items", plain or Maildir++ ".Name"), the sender of new mail, and
// who is told when a message has been queued. Only file-system calls and immutable data are
// used, so the delivery thread may ask too.
class LocalMailbox
{
public:
    // The sender as "Name <address>"; asked whenever a message needs one.
    using SenderLookup = std::function<QString()>;

    struct Place
    {
        std::shared_ptr<LocalStoreTree> tree;
        QString relativePath; // the folder inside its store, as the store's tree names it
        QString directory;
    };

    LocalMailbox(std::vector<std::shared_ptr<LocalStoreTree>> trees, SenderLookup sender);

    // The Drafts folder of the first store that has one.
    [[nodiscard]] std::optional<Place> drafts() const;
    // A folder of a store by name; `create` makes it when missing (throws OutlookError when it
    // cannot be made).
    [[nodiscard]] std::optional<Place> folder(const std::shared_ptr<LocalStoreTree> &tree,
                                              const QString &name, bool create) const;
    // The store holding this file, if any of ours.
    [[nodiscard]] std::shared_ptr<LocalStoreTree> storeOf(const QString &path) const;
    [[nodiscard]] const std::vector<std::shared_ptr<LocalStoreTree>> &stores() const
    {
        return m_trees;
    }

    [[nodiscard]] QString sender() const;

    void setQueuedListener(std::function<void()> listener);
    void notifyQueued() const;

private:
    std::vector<std::shared_ptr<LocalStoreTree>> m_trees;
    SenderLookup m_sender;
    mutable std::mutex m_listenerMutex;
    std::function<void()> m_queued;
};

} // namespace corvel
