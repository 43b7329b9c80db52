#include "delivery/OutboxContents.h"

namespace corvel {

Result<OutboxContents> OutboxContents::read(const QString &directory,
                                            OutboxState::Recovery recovery)
{
    OutboxContents contents{MaildirFolder(directory), {}, OutboxState(directory)};
    Result<std::vector<MaildirFolder::Entry>> entries = contents.folder.entries();
    if (!entries.ok())
        return Result<OutboxContents>::failure(entries.error());
    QSet<QString> present;
    for (const auto &entry : *entries)
        present.insert(entry.unique);
    if (Status loaded = contents.state.load(present, recovery); !loaded.ok())
        return Result<OutboxContents>::failure(loaded.error());
    contents.entries = std::move(*entries);
    return contents;
}

} // namespace corvel
