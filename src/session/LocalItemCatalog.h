#pragma once

#include "session/LocalItemSource.h"
#include "session/LocalStoreTree.h"

#include <QHash>
#include <QMutex>

#include <memory>
#include <vector>

namespace corvel {

class OlItem;

// Finds the items of a local session's folders and finds them again by EntryID.
// An item's EntryID is a hash of its store, folder and key, with "-N" added for the N-th
// contact of a file holding several; identifiers are resolved only through locations found
// by listing the stores, so a forged or stale one cannot reach any file.
class LocalItemCatalog : public std::enable_shared_from_this<LocalItemCatalog>
{
public:
    explicit LocalItemCatalog(std::vector<std::shared_ptr<LocalStoreTree>> trees);

    void setContactSource(std::unique_ptr<LocalItemSource> source);
    void setMessageSource(std::unique_ptr<LocalItemSource> source);

    // The items of a contact or message folder, read a chunk at a time; none for other
    // folders. The reader keeps the catalog (made shared) alive.
    [[nodiscard]] std::unique_ptr<FolderItemReader>
    reader(const std::shared_ptr<LocalStoreTree> &tree, const LocalStoreTree::Folder &folder,
           const std::function<void()> &checkpoint);
    // An item just saved in the folder under `key`: found by its EntryID without a search.
    void rememberSaved(const std::shared_ptr<LocalStoreTree> &tree,
                       const LocalStoreTree::Folder &folder, const QString &key);
    // Throws OutlookError when no registered store holds the item now.
    [[nodiscard]] std::shared_ptr<OlItem> item(const QString &entryId);

private:
    // A folder whose items are remembered, shared by all of them, with their keys end to
    // end: a large folder's index then costs little more than its keys' bytes.
    struct Place
    {
        std::shared_ptr<LocalStoreTree> tree;
        LocalStoreTree::Folder folder;
        const LocalItemSource *source = nullptr;
        QByteArray keys; // each encoded as a file name, ended by a NUL
    };
    struct Location
    {
        quint32 place = 0; // in m_places
        quint32 key = 0;   // where its key starts in the place's keys
    };
    [[nodiscard]] const LocalItemSource *sourceFor(const LocalStoreTree &tree,
                                                   const LocalStoreTree::Folder &folder) const;
    [[nodiscard]] quint32 placeOf(const std::shared_ptr<LocalStoreTree> &tree,
                                  const LocalStoreTree::Folder &folder,
                                  const LocalItemSource *source);
    void remember(const QString &baseId, quint32 place, const QString &key);
    void indexAllStores();

    std::vector<std::shared_ptr<LocalStoreTree>> m_trees;
    std::unique_ptr<LocalItemSource> m_contacts;
    std::unique_ptr<LocalItemSource> m_messages;
    QMutex m_mutex; // the index is filled from listing threads too
    std::vector<Place> m_places;
    QHash<QString, Location> m_locations;
};

} // namespace corvel
