#pragma once

#include "support/Result.h"

#include <QString>

#include <memory>

namespace corvel {

class FileLock;

// One group mail run at a time, in the window or in corvelctl, whatever the letter and the
// members: two runs at once would both take an interrupted journal for theirs, or queue the
// same members twice. The lock file in the runs folder names its holder (pid and boot); the
// lock itself dies with its process, so a holder that crashed never keeps others out.
class RunLock
{
public:
    ~RunLock();
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;

    // Held until the object goes. Fails with "another group mail run is in progress (pid N)"
    // while a live run holds it.
    [[nodiscard]] static Result<std::unique_ptr<RunLock>> take(const QString &runsDirectory);

    [[nodiscard]] static QString fileName() { return QStringLiteral("corvel-run.lock"); }

private:
    explicit RunLock(std::unique_ptr<FileLock> lock);

    std::unique_ptr<FileLock> m_lock;
};

} // namespace corvel
