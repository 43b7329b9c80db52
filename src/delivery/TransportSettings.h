#pragma once

#include "delivery/RateLimits.h"

#include <QString>

namespace corvel {

class CRegSettings;

// How mail leaves the machine, from the settings section "Transport": keys "Kind" ("smtp",
// "sendmail" or "none"), "Host", "Port", "Security" ("none", "starttls", "tls"), "User",
// "PasswordCommand" (run without a shell; its first output line is the password, which is
// never kept in the settings), "PasswordStore" ("keyring": the password is the desktop
// keyring's entry "transport" instead, which `corvelctl set-password transport` puts there),
// "CAFile" (a PEM file of the certificates to trust in place of the system's, for a server with a
// certificate of its own), "SendmailCommand" and "MaxQueueDays" (how long a message put off is
// tried again before it is given up), "MaxPerMinute" and "MaxPerHour" (messages) and
// "MaxRecipientsPerDay" (empty or 0: no limit; a value that is not a count stops sending until it
// is mended, since sending without the limit could get the account blocked). "From" is the sender
// of new mail.
struct TransportSettings
{
    enum class Kind
    {
        None,
        Smtp,
        Sendmail
    };
    enum class Security
    {
        None,
        StartTls,
        Tls
    };

    Kind kind = Kind::None;
    QString host;
    int port = 0; // 0: the usual port for the security
    Security security = Security::StartTls;
    QString user;
    QString passwordCommand;
    bool passwordInKeyring = false;
    QString caFile; // empty: the system's trusted certificates
    QString sendmailCommand;
    int maxQueueDays = 5; // as mail servers keep trying
    RateLimits limits;
    QString problem; // a value that cannot be used; nothing is sent while it is set

    [[nodiscard]] static TransportSettings read(const CRegSettings &settings);
    // Why no message can go with these settings; empty when they can be used.
    [[nodiscard]] QString whyUnusable() const;
    [[nodiscard]] static QString defaultSendmailCommand();
    [[nodiscard]] int effectivePort() const;
    // Loopback addresses by name or number; no name is looked up.
    [[nodiscard]] static bool isLoopbackHost(const QString &host);
};

} // namespace corvel
