#pragma once

#include "directory/LdapConnectOptions.h"
#include "directory/LdapEntry.h"
#include "directory/LdapLocation.h"
#include "support/Result.h"

#include <functional>
#include <memory>

struct ldap;    // the client library's connection handle
struct ldapmsg; // and one message of the server

namespace corvel {

// One bound connection to a directory server: TLS as the location and the server allow it,
// then a simple bind (anonymous without a user). Failures name what went wrong: the server
// unreachable, the certificate not trusted for the name, authentication refused, an answer
// not understood, no answer in time.
class LdapConnection
{
public:
    // The client library's connect callback and a deadline for opening (in the source file).
    struct ConnectWatch;

    ~LdapConnection();
    LdapConnection(LdapConnection &&) noexcept;
    // Not assignable: the old handle must go before the callbacks it calls.
    LdapConnection &operator=(LdapConnection &&) = delete;

    [[nodiscard]] static Result<LdapConnection> open(const LdapLocation &location,
                                                     const LdapConnectOptions &options);

    // Every entry the location's search finds, page by page so that no server limit cuts
    // the answer short, each handed to onEntry as it arrives; a failure onEntry returns
    // ends the search with it.
    using EntrySink = std::function<Status(LdapEntry &&)>;
    [[nodiscard]] Status search(const LdapLocation &location, const QByteArrayList &attributes,
                                const EntrySink &onEntry);

private:
    struct Closer
    {
        void operator()(ldap *handle) const;
    };
    LdapConnection(ldap *handle, const LdapConnectOptions &options);
    Status startTls(const LdapLocation &location);
    Status bind(const LdapLocation &location);
    Status noAnswer(const LdapLocation &location) const;
    Result<QByteArray> readPage(int messageId, const EntrySink &onEntry);
    Result<QByteArray> finishPage(ldapmsg *result);
    QString failure(int code) const;

    std::unique_ptr<ConnectWatch> m_watch; // outlives the handle, which calls it
    std::unique_ptr<ldap, Closer> m_handle;
    LdapConnectOptions m_options;
};

} // namespace corvel
