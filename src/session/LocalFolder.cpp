#include "session/LocalFolder.h"

#include "session/FolderItemReader.h"
#include "session/LocalItemCatalog.h"

using namespace Qt::StringLiterals;

namespace corvel {

LocalFolder::LocalFolder(std::shared_ptr<LocalStoreTree> tree, LocalStoreTree::Folder folder,
                         std::shared_ptr<LocalItemCatalog> catalog)
    : m_tree(std::move(tree))
    , m_folder(std::move(folder))
    , m_catalog(std::move(catalog))
{
}

QString LocalFolder::DefaultMessageClass() const
{
    // The store itself is only a container, whatever its directory holds.
    return m_folder.relativePath.isEmpty() ? u"IPM.Folder"_s : m_tree->messageClass(m_folder);
}

std::vector<std::shared_ptr<OlFolder>> LocalFolder::Folders()
{
    std::vector<std::shared_ptr<OlFolder>> folders;
    for (auto &child : m_tree->children(m_folder))
        folders.push_back(std::make_shared<LocalFolder>(m_tree, std::move(child), m_catalog));
    return folders;
}

void LocalFolder::rememberSaved(const QString &key) const
{
    m_catalog->rememberSaved(m_tree, m_folder, key);
}

std::vector<std::shared_ptr<OlItem>> LocalFolder::Items()
{
    return itemReader({})->readAll();
}

std::unique_ptr<FolderItemReader> LocalFolder::itemReader(const std::function<void()> &checkpoint)
{
    return m_catalog->reader(m_tree, m_folder, checkpoint);
}

} // namespace corvel
