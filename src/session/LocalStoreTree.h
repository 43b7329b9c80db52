#pragma once

#include "session/LocalStore.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

namespace corvel {

// The folder tree of one local store, read from its directory on demand. Folders are known
// by their path relative to the store; identifiers are opaque hashes of it, resolved only
// through paths this tree has itself found inside the store.
class LocalStoreTree
{
public:
    struct Folder
    {
        QString relativePath; // "" for the store's own top-level folder
        QString name;
        QString entryId;
    };

    explicit LocalStoreTree(LocalStore store);

    [[nodiscard]] const LocalStore &store() const { return m_store; }
    [[nodiscard]] const QString &storeId() const { return m_storeId; }
    [[nodiscard]] Folder root() const;

    // Sorted by name; throws OutlookError when the folder's directory cannot be read.
    [[nodiscard]] std::vector<Folder> children(const Folder &folder);
    [[nodiscard]] QString messageClass(const Folder &folder) const;
    // std::nullopt when no folder of this store has that id now.
    [[nodiscard]] std::optional<Folder> find(const QString &entryId);
    // Every folder below the store's own, in display order (names only; nothing is parsed).
    [[nodiscard]] std::vector<Folder> allFolders();

    // The folder's directory.
    [[nodiscard]] QString absolutePath(const QString &relativePath) const;
    // The identifier of an item of a folder: a hash of the store, the folder and the item's
    // key (its file name, or a message's unique name), never decodable into a path.
    [[nodiscard]] QString itemIdOf(const QString &folderRelativePath, const QString &itemKey) const;

private:
    [[nodiscard]] QString entryIdOf(const QString &relativePath) const;
    [[nodiscard]] bool isFolderDirectory(const QString &absolutePath) const;
    [[nodiscard]] Folder makeFolder(const QString &relativePath, const QString &fallbackName);
    [[nodiscard]] std::optional<Folder> resolve(const QString &relativePath);
    bool walk(const Folder &folder, int depth, QSet<QString> &visited, const QString &entryId);

    LocalStore m_store;
    QString m_canonicalDirectory; // empty while the directory cannot be found
    QString m_identity;           // what the ids derive from: canonical when it can be
    QString m_storeId;
    QHash<QString, QString> m_pathsById;
};

} // namespace corvel
