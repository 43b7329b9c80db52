#pragma once

#include "session/FolderItemReader.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace corvel {

// Reads the items of one kind of folder of a local store (vCard folders, Maildir folders).
// Failures throw OutlookError.
class LocalItemSource
{
public:
    // Gives an item its EntryID from its key (file name or message unique name) and, for a
    // file holding several contacts, its card number (1 for the first).
    using IdOf = std::function<QString(const QString &key, int card)>;

    virtual ~LocalItemSource() = default;

    // The keys of the items in the folder, from names alone (nothing is parsed).
    [[nodiscard]] virtual std::vector<QString> itemKeys(const QString &folderDirectory) const = 0;
    // The items of the folder, read a chunk at a time in order. idOf may be called from
    // other threads; what it refers to must outlive the reader. checkpoint (see
    // OlFolder::itemReader) may be empty.
    [[nodiscard]] virtual std::unique_ptr<FolderItemReader>
    reader(const QString &folderDirectory, IdOf idOf,
           const std::function<void()> &checkpoint) const = 0;
    // Every item of the folder, in order.
    [[nodiscard]] std::vector<std::shared_ptr<OlItem>> readItems(const QString &folderDirectory,
                                                                 const IdOf &idOf) const
    {
        return reader(folderDirectory, idOf, {})->readAll();
    }
    // One item; throws when it is gone.
    [[nodiscard]] virtual std::shared_ptr<OlItem> readItem(const QString &folderDirectory,
                                                           const QString &key, int card,
                                                           const QString &entryId) const = 0;
};

} // namespace corvel
