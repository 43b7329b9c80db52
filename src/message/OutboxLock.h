#pragma once

#include <QString>

namespace corvel {

// Holds an Outbox's lock file while a program delivers it or changes its records; others are
// kept out (never waited for) until it is released.
class OutboxLock
{
public:
    explicit OutboxLock(const QString &folderDirectory);
    ~OutboxLock();
    OutboxLock(const OutboxLock &) = delete;
    OutboxLock &operator=(const OutboxLock &) = delete;

    [[nodiscard]] bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace corvel
