#pragma once

#include "support/Result.h"

#include <QString>
#include <QStringList>

namespace corvel {

// Where a server's password comes from each time it is needed: the first output line of a
// command, or an entry of the desktop keyring. The password is never kept anywhere else.
struct PasswordSource
{
    QStringList command; // the program and its arguments, run without a shell
    QString keyringKey;  // set: the keyring's entry, in place of the command
    QString owner;       // whose password, for the reasons given: "the store Work"

    // Empty when neither a command nor a keyring entry is set.
    [[nodiscard]] Result<QString> read() const;
};

} // namespace corvel
