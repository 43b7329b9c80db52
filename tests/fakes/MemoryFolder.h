#pragma once

#include "session/OutlookSession.h"

#include <memory>

namespace corvel {

class MemoryNamespace;
class MemoryItem;

// A folder of the in-memory session. Tests grow the tree with addFolder / addContact /
// addMessage and switch failures on to reach the error paths of the callers.
class MemoryFolder : public OlFolder, public std::enable_shared_from_this<MemoryFolder>
{
public:
    enum class Failure
    {
        Folders, // on a store: the store cannot be read
        Items,
    };

    // Folders are made by MemoryNamespace::addStore and addFolder, which hand out the ids.
    MemoryFolder(std::weak_ptr<MemoryNamespace> session, std::weak_ptr<MemoryFolder> parent,
                 QString name, QString messageClass, QString entryId, QString storeId);

    std::shared_ptr<MemoryFolder>
    addFolder(const QString &name, const QString &messageClass = QStringLiteral("IPM.Note"));
    std::shared_ptr<MemoryItem> addContact(const QString &fileAs, const QString &email1Address,
                                           const QString &categories = {});
    std::shared_ptr<MemoryItem> addMessage(const QString &subject, const QString &body = {});
    void failOn(Failure failure, bool on = true);

    // Without failure injection, for assertions and the session's own lookups.
    [[nodiscard]] const std::vector<std::shared_ptr<MemoryFolder>> &subFolders() const
    {
        return m_folders;
    }
    [[nodiscard]] const std::vector<std::shared_ptr<MemoryItem>> &items() const { return m_items; }

    // Bookkeeping of the session.
    void adopt(const std::shared_ptr<MemoryItem> &item, const QString &entryId);
    // Removes the folder or item with this id from the sub-tree; true when found.
    bool remove(const QString &entryId);
    void markRemoved();
    [[nodiscard]] std::shared_ptr<MemoryFolder> findFolder(const QString &entryId);
    [[nodiscard]] std::shared_ptr<MemoryItem> findItem(const QString &entryId) const;

    [[nodiscard]] QString Name() const override { return m_name; }
    [[nodiscard]] QString EntryID() const override { return m_entryId; }
    [[nodiscard]] QString StoreID() const override { return m_storeId; }
    [[nodiscard]] QString DefaultMessageClass() const override { return m_messageClass; }
    [[nodiscard]] std::vector<std::shared_ptr<OlFolder>> Folders() override;
    [[nodiscard]] std::vector<std::shared_ptr<OlItem>> Items() override;

private:
    [[nodiscard]] bool fails(Failure failure) const;
    [[nodiscard]] QString newEntryId() const;
    void checkExists() const;
    std::shared_ptr<MemoryItem> addItem(int itemClass);

    std::weak_ptr<MemoryNamespace> m_session;
    std::weak_ptr<MemoryFolder> m_parent;
    QString m_name;
    QString m_messageClass;
    QString m_entryId;
    QString m_storeId;
    std::vector<std::shared_ptr<MemoryFolder>> m_folders;
    std::vector<std::shared_ptr<MemoryItem>> m_items;
    unsigned m_failures = 0;
    bool m_removed = false;
};

} // namespace corvel
