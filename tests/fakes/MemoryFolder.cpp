#include "fakes/MemoryFolder.h"

#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

MemoryFolder::MemoryFolder(std::weak_ptr<MemoryNamespace> session,
                           std::weak_ptr<MemoryFolder> parent, QString name, QString messageClass,
                           QString entryId, QString storeId)
    : m_session(std::move(session))
    , m_parent(std::move(parent))
    , m_name(std::move(name))
    , m_messageClass(std::move(messageClass))
    , m_entryId(std::move(entryId))
    , m_storeId(std::move(storeId))
{
}

QString MemoryFolder::newEntryId() const
{
    return MemoryNamespace::open(m_session)->newEntryId();
}

std::shared_ptr<MemoryFolder> MemoryFolder::addFolder(const QString &name,
                                                      const QString &messageClass)
{
    auto folder = std::make_shared<MemoryFolder>(m_session, weak_from_this(), name, messageClass,
                                                 newEntryId(), m_storeId);
    m_folders.push_back(folder);
    return folder;
}

std::shared_ptr<MemoryItem> MemoryFolder::addItem(int itemClass)
{
    auto item = std::make_shared<MemoryItem>(m_session, itemClass);
    adopt(item, newEntryId());
    return item;
}

std::shared_ptr<MemoryItem> MemoryFolder::addContact(const QString &fileAs,
                                                     const QString &email1Address,
                                                     const QString &categories)
{
    auto item = addItem(olContactItem);
    item->setFileAs(fileAs);
    item->setEmail1Address(email1Address);
    item->setCategories(categories);
    return item;
}

std::shared_ptr<MemoryItem> MemoryFolder::addMessage(const QString &subject, const QString &body)
{
    auto item = addItem(olMailItem);
    item->setSubject(subject);
    item->setBody(body);
    return item;
}

void MemoryFolder::adopt(const std::shared_ptr<MemoryItem> &item, const QString &entryId)
{
    item->placeIn(entryId);
    m_items.push_back(item);
}

void MemoryFolder::failOn(Failure failure, bool on)
{
    const unsigned bit = 1u << static_cast<unsigned>(failure);
    m_failures = on ? (m_failures | bit) : (m_failures & ~bit);
}

bool MemoryFolder::fails(Failure failure) const
{
    return (m_failures & (1u << static_cast<unsigned>(failure))) != 0;
}

void MemoryFolder::checkExists() const
{
    if (m_removed)
        throw OutlookError(u"The folder \"%1\" no longer exists."_s.arg(m_name));
}

void MemoryFolder::markRemoved()
{
    m_removed = true;
    for (const auto &folder : m_folders)
        folder->markRemoved();
    for (const auto &item : m_items)
        item->markRemoved();
}

bool MemoryFolder::remove(const QString &entryId)
{
    const auto folder = std::find_if(m_folders.begin(), m_folders.end(),
                                     [&](const auto &f) { return f->m_entryId == entryId; });
    if (folder != m_folders.end()) {
        (*folder)->markRemoved();
        m_folders.erase(folder);
        return true;
    }
    const auto item = std::find_if(m_items.begin(), m_items.end(), [&](const auto &i) {
        return i->isSaved() && i->id() == entryId;
    });
    if (item != m_items.end()) {
        (*item)->markRemoved();
        m_items.erase(item);
        return true;
    }
    return std::any_of(m_folders.begin(), m_folders.end(),
                       [&](const auto &f) { return f->remove(entryId); });
}

std::shared_ptr<MemoryFolder> MemoryFolder::findFolder(const QString &entryId)
{
    if (m_entryId == entryId)
        return shared_from_this();
    for (const auto &folder : m_folders)
        if (auto found = folder->findFolder(entryId))
            return found;
    return nullptr;
}

std::shared_ptr<MemoryItem> MemoryFolder::findItem(const QString &entryId) const
{
    for (const auto &item : m_items)
        if (item->isSaved() && item->id() == entryId)
            return item;
    for (const auto &folder : m_folders)
        if (auto found = folder->findItem(entryId))
            return found;
    return nullptr;
}

std::vector<std::shared_ptr<OlFolder>> MemoryFolder::Folders()
{
    checkExists();
    if (fails(Failure::Folders)) {
        throw OutlookError(m_parent.expired()
                               ? u"The store \"%1\" cannot be read."_s.arg(m_name)
                               : u"The folders of \"%1\" cannot be read."_s.arg(m_name));
    }
    return {m_folders.begin(), m_folders.end()};
}

std::vector<std::shared_ptr<OlItem>> MemoryFolder::Items()
{
    checkExists();
    if (fails(Failure::Items))
        throw OutlookError(u"The items of \"%1\" cannot be read."_s.arg(m_name));
    return {m_items.begin(), m_items.end()};
}

} // namespace corvel
