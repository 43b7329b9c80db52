#pragma once

#include "session/LocalItemSource.h"

namespace corvel {

class LocalMailbox;

// The messages of a Maildir folder: every file of cur/ and new/, oldest first, keyed by its
// unique name (so a change of flags keeps its EntryID). Nothing is parsed while listing.
class MaildirSource : public LocalItemSource
{
public:
    explicit MaildirSource(std::shared_ptr<LocalMailbox> mailbox);

    [[nodiscard]] std::vector<QString> itemKeys(const QString &folderDirectory) const override;
    [[nodiscard]] std::unique_ptr<FolderItemReader>
    reader(const QString &folderDirectory, IdOf idOf,
           const std::function<void()> &checkpoint) const override;
    [[nodiscard]] std::shared_ptr<OlItem> readItem(const QString &folderDirectory,
                                                   const QString &key, int card,
                                                   const QString &entryId) const override;

private:
    std::shared_ptr<LocalMailbox> m_mailbox;
};

} // namespace corvel
