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

    // Fails when the folder or the records cannot be read (without the records a held message
    // could go twice, so nothing is delivered from it).
    [[nodiscard]] static Result<OutboxContents> read(const QString &directory,
                                                     OutboxState::Recovery recovery);
};

} // namespace corvel
