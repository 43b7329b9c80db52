#pragma once

#include "support/Result.h"

#include <QString>

namespace corvel {

// Where a directory's contacts are: an LDAP URL (ldap://HOST:PORT/BASE??SCOPE?FILTER or
// ldaps://...) taken apart. The URL's attribute list is ignored: the contact fields decide
// which attributes are asked for.
struct LdapLocation
{
    enum class Scope
    {
        Base,
        OneLevel,
        Subtree
    };

    bool tls = false; // ldaps: TLS from the first byte
    QString host;     // without brackets for an IPv6 address
    int port = 389;
    QString baseDn;
    Scope scope = Scope::Subtree;
    QString filter; // the URL's own, parenthesized; "(objectClass=*)" when it has none

    // Percent-decoded parts; a failure says what is wrong with the URL.
    [[nodiscard]] static Result<LdapLocation> parse(const QString &url);
    // The server alone, as the client library is handed it: "ldap://127.0.0.1:389".
    [[nodiscard]] QString serverUri() const;
    // The URL's filter narrowed to entries that have a mail value.
    [[nodiscard]] QString searchFilter() const;

    friend bool operator==(const LdapLocation &, const LdapLocation &) = default;
};

} // namespace corvel
