#pragma once

#include "delivery/OutboxState.h"
#include "message/MaildirFolder.h"

#include <vector>

namespace corvel {

// One Outbox as read for a pass or a listing: its message files and their records.
struct OutboxContents
{
    MaildirFolder folder;
    std::vector<MaildirFolder::Entry> entries;
    OutboxState state;
    // When scheduled messages may go at the earliest (OutboxSchedule), by unique name.
    QHash<QString, qint64> notBeforeMs;

    [[nodiscard]] qint64 notBefore(const QString &unique) const
    {
        return notBeforeMs.value(unique, 0);
    }

    // Fails when the folder, the records or the schedule cannot be read (without the records a
    // held message could go twice, without the schedule a message could go early, so nothing
    // is delivered from it).
    [[nodiscard]] static Result<OutboxContents> read(const QString &directory,
                                                     OutboxState::Recovery recovery);
};

} // namespace corvel
