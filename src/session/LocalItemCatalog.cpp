#include "session/LocalItemCatalog.h"

#include "session/HeldItemsReader.h"
#include "session/OutlookSession.h"

#include <QFile>

#include <optional>
#include <utility>

namespace corvel {

namespace {

// "BASE-N" names the N-th contact (N >= 2) of a file; a plain id names the first.
void splitId(const QString &entryId, QString &base, int &card)
{
    base = entryId;
    card = 1;
    const qsizetype dash = entryId.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0)
        return;
    bool ok = false;
    const int n = entryId.mid(dash + 1).toInt(&ok);
    if (ok && n >= 2) {
        base = entryId.left(dash);
        card = n;
    }
}

} // namespace

LocalItemCatalog::LocalItemCatalog(std::vector<std::shared_ptr<LocalStoreTree>> trees)
    : m_trees(std::move(trees))
{
}

void LocalItemCatalog::setContactSource(std::unique_ptr<LocalItemSource> source)
{
    m_contacts = std::move(source);
}

void LocalItemCatalog::setMessageSource(std::unique_ptr<LocalItemSource> source)
{
    m_messages = std::move(source);
}

const LocalItemSource *LocalItemCatalog::sourceFor(const LocalStoreTree &tree,
                                                   const LocalStoreTree::Folder &folder) const
{
    if (folder.relativePath.isEmpty())
        return nullptr;
    const QString messageClass = tree.messageClass(folder);
    if (messageClass.compare(QStringLiteral("IPM.Contact"), Qt::CaseInsensitive) == 0)
        return m_contacts.get();
    if (messageClass.compare(QStringLiteral("IPM.Note"), Qt::CaseInsensitive) == 0)
        return m_messages.get();
    return nullptr;
}

quint32 LocalItemCatalog::placeOf(const std::shared_ptr<LocalStoreTree> &tree,
                                  const LocalStoreTree::Folder &folder,
                                  const LocalItemSource *source)
{
    QMutexLocker lock(&m_mutex);
    for (size_t i = 0; i < m_places.size(); ++i) {
        const Place &place = m_places[i];
        if (place.tree == tree && place.source == source &&
            place.folder.relativePath == folder.relativePath)
            return quint32(i);
    }
    m_places.push_back({tree, folder, source, {}});
    return quint32(m_places.size() - 1);
}

void LocalItemCatalog::remember(const QString &baseId, quint32 place, const QString &key)
{
    QMutexLocker lock(&m_mutex);
    // The id is a hash of the place and key: one known there has that key already, and a
    // folder listed again adds only its new items' keys.
    if (const auto known = m_locations.constFind(baseId);
        known != m_locations.cend() && known->place == place)
        return;
    QByteArray &keys = m_places[place].keys;
    const auto offset = quint32(keys.size());
    keys.append(QFile::encodeName(key)).append('\0');
    m_locations.insert(baseId, {place, offset});
}

void LocalItemCatalog::rememberSaved(const std::shared_ptr<LocalStoreTree> &tree,
                                     const LocalStoreTree::Folder &folder, const QString &key)
{
    // Otherwise opening a letter just saved would list every item of every store (100,000
    // contacts take most of a second) to learn where it is.
    if (const LocalItemSource *source = sourceFor(*tree, folder))
        remember(tree->itemIdOf(folder.relativePath, key), placeOf(tree, folder, source), key);
}

std::unique_ptr<FolderItemReader>
LocalItemCatalog::reader(const std::shared_ptr<LocalStoreTree> &tree,
                         const LocalStoreTree::Folder &folder,
                         const std::function<void()> &checkpoint)
{
    const LocalItemSource *source = sourceFor(*tree, folder);
    if (!source)
        return std::make_unique<HeldItemsReader>(FolderItemReader::Chunk());
    const QString directory = tree->absolutePath(folder.relativePath);
    const quint32 place = placeOf(tree, folder, source);
    return source->reader(
        directory,
        [self = shared_from_this(), tree, relativePath = folder.relativePath,
         place](const QString &key, int card) {
            const QString base = tree->itemIdOf(relativePath, key);
            self->remember(base, place, key);
            return card >= 2 ? base + QLatin1Char('-') + QString::number(card) : base;
        },
        checkpoint);
}

void LocalItemCatalog::indexAllStores()
{
    for (const std::shared_ptr<LocalStoreTree> &tree : m_trees) {
        for (const LocalStoreTree::Folder &folder : tree->allFolders()) {
            const LocalItemSource *source = sourceFor(*tree, folder);
            if (!source)
                continue;
            std::vector<QString> keys;
            try {
                keys = source->itemKeys(tree->absolutePath(folder.relativePath));
            } catch (const OutlookError &) {
                continue; // a folder that cannot be read holds nothing to find
            }
            const quint32 place = placeOf(tree, folder, source);
            for (const QString &key : keys)
                remember(tree->itemIdOf(folder.relativePath, key), place, key);
        }
    }
}

std::shared_ptr<OlItem> LocalItemCatalog::item(const QString &entryId)
{
    QString base;
    int card = 1;
    splitId(entryId, base, card);
    auto lookup = [&]() -> std::optional<std::pair<Place, QString>> {
        QMutexLocker lock(&m_mutex);
        const auto it = m_locations.constFind(base);
        if (it == m_locations.cend())
            return std::nullopt;
        const Place &place = m_places[it->place];
        // Without the keys: a copy of them would make the next one remembered copy them all.
        return std::pair{Place{place.tree, place.folder, place.source, {}},
                         QFile::decodeName(place.keys.constData() + it->key)};
    };
    auto location = lookup();
    if (!location) {
        indexAllStores();
        location = lookup();
    }
    if (!location)
        throw OutlookError(
            QStringLiteral("The item cannot be found; it may have been deleted or moved."));
    const Place &place = location->first;
    return place.source->readItem(place.tree->absolutePath(place.folder.relativePath),
                                  location->second, card, entryId);
}

} // namespace corvel
