#pragma once

#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace corvel {

// Where a server's password comes from each time it is needed: the first output line of a
// command, or an entry of the desktop keyring. The password is never kept anywhere else.
struct PasswordSource
{
    QStringList command; // the program and its arguments, run without a shell
    QString keyringKey;  // set: the keyring's entry, in place of the command
    QString owner;       // whose password, for the reasons given: "the store Work"

    // Empty when neither a command nor a keyring entry is set. `cancelled` (may be null)
    // turning true ends the wait, as a failure: a window closing must not wait for a keyring.
    [[nodiscard]] Result<QString> read(const std::atomic<bool> *cancelled = nullptr) const;
};

} // namespace corvel
