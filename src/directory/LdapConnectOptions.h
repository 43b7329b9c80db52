#pragma once

#include <QString>

#include <chrono>
#include <cstddef>

namespace corvel {

// How to reach and read a directory. The location is an LDAP URL (LdapLocation).
struct LdapConnectOptions
{
    QString url;
    QString user; // the bind DN; empty binds anonymously
    QString password;
    QString caFile; // a PEM file of the CA to trust; empty trusts the system's
    QString categoriesAttribute = QStringLiteral("businessCategory");
    // The longest wait for the connection, and for each answer of the server.
    std::chrono::milliseconds timeout{30000};
    // A directory larger than this is refused rather than read into memory.
    std::size_t maxEntries = 1'000'000;
};

} // namespace corvel
