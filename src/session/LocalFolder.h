#pragma once

#include "session/LocalStoreTree.h"
#include "session/OutlookSession.h"

#include <memory>

namespace corvel {

class LocalItemCatalog;

// A folder of a local store: a view of one directory, read when asked.
class LocalFolder : public OlFolder
{
public:
    LocalFolder(std::shared_ptr<LocalStoreTree> tree, LocalStoreTree::Folder folder,
                std::shared_ptr<LocalItemCatalog> catalog);

    [[nodiscard]] QString Name() const override { return m_folder.name; }
    [[nodiscard]] QString EntryID() const override { return m_folder.entryId; }
    [[nodiscard]] QString StoreID() const override { return m_tree->storeId(); }
    [[nodiscard]] QString DefaultMessageClass() const override;
    [[nodiscard]] std::vector<std::shared_ptr<OlFolder>> Folders() override;
    [[nodiscard]] std::vector<std::shared_ptr<OlItem>> Items() override;
    [[nodiscard]] std::unique_ptr<FolderItemReader>
    itemReader(const std::function<void()> &checkpoint) override;

    [[nodiscard]] const std::shared_ptr<LocalStoreTree> &storeTree() const { return m_tree; }
    [[nodiscard]] const QString &relativePath() const { return m_folder.relativePath; }
    // An item was just saved here under `key` (see LocalItemCatalog::rememberSaved).
    void rememberSaved(const QString &key) const;

private:
    std::shared_ptr<LocalStoreTree> m_tree;
    LocalStoreTree::Folder m_folder;
    std::shared_ptr<LocalItemCatalog> m_catalog;
};

} // namespace corvel
