#pragma once

#include "support/FileLock.h"

#include <QString>

namespace corvel {

// Holds an Outbox's lock file while a program delivers it or changes its records; others are
// kept out (never waited for) until it is released.
class OutboxLock
{
public:
    explicit OutboxLock(const QString &folderDirectory);

    [[nodiscard]] bool held() const { return m_lock.held(); }

private:
    FileLock m_lock;
};

} // namespace corvel
