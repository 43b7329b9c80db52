#pragma once

#include "support/Result.h"

#include <QString>

#include <atomic>

namespace corvel {

// Passwords in the desktop's Secret Service, under the service "Corvel". Each call waits for
// the keyring's answer with a local event loop, never longer than the timeout: a keyring that
// is locked may ask the user to unlock it, one that is missing must not freeze a sync.
class Keyring
{
public:
    explicit Keyring(int timeoutSeconds = 60);

    // The entries' keys: persisted, so they never change.
    [[nodiscard]] static QString storeKey(const QString &storeName);
    [[nodiscard]] static QString transportKey();

    // `cancelled` (may be null) turning true ends the wait, as a failure.
    [[nodiscard]] Result<QString> read(const QString &key,
                                       const std::atomic<bool> *cancelled = nullptr) const;
    [[nodiscard]] Status write(const QString &key, const QString &password) const;
    // Deleting an entry that is not there succeeds.
    [[nodiscard]] Status remove(const QString &key) const;

private:
    int m_timeoutSeconds;
};

} // namespace corvel
