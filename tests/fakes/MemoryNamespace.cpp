#include "fakes/MemoryNamespace.h"

#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemorySendBatch.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace corvel {

MemoryNamespace::MemoryNamespace()
    : m_currentUser(u"Test User"_s)
    , m_sessionTag(QRandomGenerator::global()->generate64())
{
}

std::shared_ptr<MemoryNamespace>
MemoryNamespace::open(const std::weak_ptr<MemoryNamespace> &session)
{
    auto locked = session.lock();
    if (!locked)
        throw OutlookError(u"The mail session has been closed."_s);
    return locked;
}

QString MemoryNamespace::newEntryId()
{
    // 16 digits of session tag, 32 of counter: 48 in all, like the real identifiers.
    return (QString::number(m_sessionTag, 16).rightJustified(16, u'0') +
            QString::number(m_nextId++, 16).rightJustified(32, u'0'))
        .toUpper();
}

std::shared_ptr<MemoryFolder> MemoryNamespace::addStore(const QString &name)
{
    const QString storeId = newEntryId();
    auto store = std::make_shared<MemoryFolder>(weak_from_this(), std::weak_ptr<MemoryFolder>(),
                                                name, u"IPM.Folder"_s, newEntryId(), storeId);
    m_stores.push_back(store);
    return store;
}

bool MemoryNamespace::remove(const QString &entryId)
{
    for (auto it = m_stores.begin(); it != m_stores.end(); ++it) {
        if ((*it)->EntryID() == entryId) {
            (*it)->markRemoved();
            m_stores.erase(it);
            return true;
        }
        if ((*it)->remove(entryId))
            return true;
    }
    return false;
}

std::shared_ptr<MemoryFolder> MemoryNamespace::draftsFolder() const
{
    if (!m_stores.empty()) {
        for (const auto &folder : m_stores.front()->subFolders())
            if (folder->Name() == u"Drafts"_s)
                return folder;
    }
    throw OutlookError(u"There is no Drafts folder to save the message in."_s);
}

QString MemoryNamespace::CurrentUser()
{
    if (!m_currentUser)
        throw OutlookError(u"The current user of the mail session is unknown."_s);
    return *m_currentUser;
}

std::vector<std::shared_ptr<OlFolder>> MemoryNamespace::Folders()
{
    return {m_stores.begin(), m_stores.end()};
}

std::shared_ptr<OlFolder> MemoryNamespace::GetFolderFromID(const QString &entryId,
                                                           const QString &storeId)
{
    for (const auto &store : m_stores) {
        if (store->StoreID() != storeId)
            continue;
        if (auto folder = store->findFolder(entryId))
            return folder;
        throw OutlookError(u"The folder cannot be found: it may have been deleted."_s);
    }
    throw OutlookError(u"The store of the folder is not open in this session."_s);
}

std::shared_ptr<OlItem> MemoryNamespace::GetItemFromID(const QString &entryId)
{
    for (const auto &store : m_stores)
        if (auto item = store->findItem(entryId))
            return item;
    throw OutlookError(u"The item cannot be found: it may have been deleted."_s);
}

std::unique_ptr<OlSendBatch> MemoryNamespace::createSendBatch()
{
    return std::make_unique<MemorySendBatch>(weak_from_this());
}

std::shared_ptr<QueuedMessageStates> MemoryNamespace::queuedMessageStates()
{
    return std::make_shared<MemoryQueuedStates>(weak_from_this());
}

} // namespace corvel
