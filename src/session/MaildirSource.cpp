#include "session/MaildirSource.h"

#include "message/MaildirFolder.h"
#include "session/HeldItemsReader.h"
#include "session/LocalMessageItem.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

std::vector<MaildirFolder::Entry> entriesOf(const QString &folderDirectory)
{
    Result<std::vector<MaildirFolder::Entry>> entries = MaildirFolder(folderDirectory).entries();
    if (!entries.ok())
        throw OutlookError(entries.error());
    return std::move(*entries);
}

} // namespace

MaildirSource::MaildirSource(std::shared_ptr<LocalMailbox> mailbox)
    : m_mailbox(std::move(mailbox))
{
}

std::vector<QString> MaildirSource::itemKeys(const QString &folderDirectory) const
{
    std::vector<QString> keys;
    for (const auto &entry : entriesOf(folderDirectory))
        keys.push_back(entry.unique);
    return keys;
}

std::unique_ptr<FolderItemReader>
MaildirSource::reader(const QString &folderDirectory, IdOf idOf,
                      const std::function<void()> &checkpoint) const
{
    // Nothing is parsed, so the items cost little; chunks still let a reader stop early.
    constexpr size_t MessagesPerChunk = 512;
    FolderItemReader::Chunk items;
    for (auto &entry : entriesOf(folderDirectory))
        items.push_back(
            std::make_shared<LocalMessageItem>(m_mailbox, entry.path, idOf(entry.unique, 1)));
    if (checkpoint)
        checkpoint();
    return std::make_unique<HeldItemsReader>(std::move(items), MessagesPerChunk);
}

std::shared_ptr<OlItem> MaildirSource::readItem(const QString &folderDirectory, const QString &key,
                                                int card, const QString &entryId) const
{
    const auto entry = card == 1 ? MaildirFolder(folderDirectory).find(key) : std::nullopt;
    if (!entry)
        throw OutlookError(u"The message cannot be found; it may have been deleted or moved."_s);
    return std::make_shared<LocalMessageItem>(m_mailbox, entry->path, entryId);
}

} // namespace corvel
