#include "delivery/OutboxContents.h"

#include "message/OutboxSchedule.h"

namespace corvel {

Result<OutboxContents> OutboxContents::read(const QString &directory,
                                            OutboxState::Recovery recovery)
{
    OutboxContents contents{MaildirFolder(directory), {}, OutboxState(directory), {}};
    Result<std::vector<MaildirFolder::Entry>> entries = contents.folder.entries();
    if (!entries.ok())
        return Result<OutboxContents>::failure(entries.error());
    QSet<QString> present;
    for (const auto &entry : *entries)
        present.insert(entry.unique);
    if (Status loaded = contents.state.load(present, recovery); !loaded.ok())
        return Result<OutboxContents>::failure(loaded.error());
    // Read after the messages were listed: a time is kept before its message is filed, so every
    // message listed has its time here.
    Result<QHash<QString, qint64>> schedule = OutboxSchedule(directory).read();
    if (!schedule.ok())
        return Result<OutboxContents>::failure(schedule.error());
    contents.notBeforeMs = std::move(*schedule);
    contents.entries = std::move(*entries);
    return contents;
}

} // namespace corvel
