#include "directory/LdapConnection.h"

#include <ldap.h>

#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Entries come a page at a time; one message larger than this is refused, not buffered.
constexpr int PageSize = 1000;
constexpr ber_len_t MaxMessageBytes = 4 * 1024 * 1024;

timeval toTimeval(std::chrono::milliseconds timeout)
{
    return {static_cast<time_t>(timeout.count() / 1000),
            static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
}

struct MessageFree
{
    void operator()(LDAPMessage *message) const { ldap_msgfree(message); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;

bool isAuthenticationRefusal(int code)
{
    return code == LDAP_INVALID_CREDENTIALS || code == LDAP_INAPPROPRIATE_AUTH ||
           code == LDAP_STRONG_AUTH_REQUIRED || code == LDAP_CONFIDENTIALITY_REQUIRED ||
           code == LDAP_INSUFFICIENT_ACCESS || code == LDAP_UNWILLING_TO_PERFORM ||
           code == LDAP_AUTH_METHOD_NOT_SUPPORTED;
}

int onConnected(LDAP *, Sockbuf *socket, LDAPURLDesc *, sockaddr *, ldap_conncb *context);
void onClosed(LDAP *, Sockbuf *, ldap_conncb *) {}

LdapEntry entryOf(LDAP *handle, LDAPMessage *message)
{
    LdapEntry entry;
    if (char *dn = ldap_get_dn(handle, message)) {
        entry.dn = QString::fromUtf8(dn);
        ldap_memfree(dn);
    }
    BerElement *ber = nullptr;
    for (char *name = ldap_first_attribute(handle, message, &ber); name;
         name = ldap_next_attribute(handle, message, ber)) {
        QByteArrayList &values = entry.attributes[QByteArray(name).toLower()];
        if (berval **found = ldap_get_values_len(handle, message, name)) {
            for (berval **value = found; *value; ++value)
                values.append(QByteArray((*value)->bv_val, qsizetype((*value)->bv_len)));
            ldap_value_free_len(found);
        }
        ldap_memfree(name);
    }
    ber_free(ber, 0);
    return entry;
}

} // namespace

// Whether the server accepted the connection (after that, a failure to connect is TLS's),
// and a deadline for opening: the client library's TLS handshake never gives up on a server
// that accepts and then stays silent (it spins on the empty socket), so when the time is up
// the socket is shut down under it.
struct LdapConnection::ConnectWatch
{
    std::mutex mutex;
    std::condition_variable settled;
    bool connected = false;
    bool opened = false;
    bool expired = false;
    int socket = -1;
    ldap_conncb callbacks{onConnected, onClosed, this};

    void awaitOpening(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex);
        if (!settled.wait_for(lock, timeout, [this] { return opened; }) && socket >= 0) {
            ::shutdown(socket, SHUT_RDWR);
            expired = true;
        }
    }
    void settle()
    {
        const std::lock_guard lock(mutex);
        opened = true;
        settled.notify_all();
    }
};

namespace {

int onConnected(LDAP *, Sockbuf *socket, LDAPURLDesc *, sockaddr *, ldap_conncb *context)
{
    auto *watch = static_cast<LdapConnection::ConnectWatch *>(context->lc_arg);
    const std::lock_guard lock(watch->mutex);
    watch->connected = true;
    ber_sockbuf_ctrl(socket, LBER_SB_OPT_GET_FD, &watch->socket);
    ber_len_t maxIncoming = MaxMessageBytes;
    ber_sockbuf_ctrl(socket, LBER_SB_OPT_SET_MAX_INCOMING, &maxIncoming);
    return 0;
}

} // namespace

LdapConnection::~LdapConnection() = default;
LdapConnection::LdapConnection(LdapConnection &&) noexcept = default;

void LdapConnection::Closer::operator()(ldap *handle) const
{
    ldap_unbind_ext_s(handle, nullptr, nullptr);
}

LdapConnection::LdapConnection(ldap *handle, const LdapConnectOptions &options)
    : m_watch(std::make_unique<ConnectWatch>())
    , m_handle(handle)
    , m_options(options)
{
    ldap_set_option(handle, LDAP_OPT_CONNECT_CB, &m_watch->callbacks);
}

// The library's text for a failure, with the server's or the TLS layer's own words.
QString LdapConnection::failure(int code) const
{
    QString text = QString::fromUtf8(ldap_err2string(code));
    char *diagnostic = nullptr;
    ldap_get_option(m_handle.get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic);
    if (diagnostic && *diagnostic)
        text += u" ("_s + QString::fromUtf8(diagnostic) + u')';
    ldap_memfree(diagnostic);
    return text;
}

Result<LdapConnection> LdapConnection::open(const LdapLocation &location,
                                            const LdapConnectOptions &options)
{
    LDAP *handle = nullptr;
    if (ldap_initialize(&handle, location.serverUri().toUtf8().constData()) != LDAP_SUCCESS)
        return Result<LdapConnection>::failure(
            u"cannot connect to %1: not a usable server address"_s.arg(location.serverUri()));
    LdapConnection connection(handle, options);
    const int version = LDAP_VERSION3;
    const timeval timeout = toTimeval(options.timeout);
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    const int client = 0;
    const QByteArray caFile = options.caFile.toUtf8();
    ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(handle, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(handle, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(handle, LDAP_OPT_TIMEOUT, &timeout);
    ldap_set_option(handle, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    if (!caFile.isEmpty())
        ldap_set_option(handle, LDAP_OPT_X_TLS_CACERTFILE, caFile.constData());
    if (const int code = ldap_set_option(handle, LDAP_OPT_X_TLS_NEWCTX, &client);
        code != LDAP_SUCCESS)
        return Result<LdapConnection>::failure(
            u"cannot use the CA file %1: %2"_s.arg(options.caFile, connection.failure(code)));
    ConnectWatch &watch = *connection.m_watch;
    std::thread deadline([&watch, timeout = options.timeout] { watch.awaitOpening(timeout); });
    Status opened = location.tls ? Status() : connection.startTls(location);
    if (opened)
        opened = connection.bind(location);
    watch.settle();
    deadline.join();
    if (!opened)
        return Result<LdapConnection>::failure(watch.expired ? connection.noAnswer(location).error()
                                                             : opened.error());
    return connection;
}

// StartTLS when the server offers it; without it the connection stays in clear unless a CA
// file asks for TLS. A certificate that fails is never a reason to go on in clear.
Status LdapConnection::startTls(const LdapLocation &location)
{
    const int code = ldap_start_tls_s(m_handle.get(), nullptr, nullptr);
    if (code == LDAP_SUCCESS)
        return {};
    if (code == LDAP_TIMEOUT)
        return noAnswer(location);
    if (!m_watch->connected || code == LDAP_SERVER_DOWN)
        return Status::failure(
            u"cannot connect to %1: %2"_s.arg(location.serverUri(), failure(code)));
    if (code == LDAP_CONNECT_ERROR) // the handshake failed
        return Status::failure(
            u"certificate not trusted for the name %1: %2"_s.arg(location.host, failure(code)));
    if (code < 0)
        return Status::failure(u"the server's answer was not understood: %1"_s.arg(failure(code)));
    if (!m_options.caFile.isEmpty())
        return Status::failure(
            u"%1 does not offer TLS: %2"_s.arg(location.serverUri(), failure(code)));
    // A refused StartTLS leaves the connection usable, in clear.
    return {};
}

Status LdapConnection::noAnswer(const LdapLocation &location) const
{
    return Status::failure(
        u"cannot connect to %1: no answer within %2 ms"_s.arg(location.serverUri())
            .arg(m_options.timeout.count()));
}

Status LdapConnection::bind(const LdapLocation &location)
{
    if (!m_options.user.isEmpty() && m_options.password.isEmpty())
        return Status::failure(u"authentication refused: no password for %1"_s.arg(m_options.user));
    QByteArray password = m_options.password.toUtf8();
    berval credentials{ber_len_t(password.size()), password.data()};
    const int code = ldap_sasl_bind_s(m_handle.get(), m_options.user.toUtf8().constData(),
                                      LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
    if (code == LDAP_SUCCESS)
        return {};
    const QString why = failure(code);
    if (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR)
        return Status::failure(
            m_watch->connected && location.tls
                ? u"certificate not trusted for the name %1: %2"_s.arg(location.host, why)
                : u"cannot connect to %1: %2"_s.arg(location.serverUri(), why));
    if (code == LDAP_TIMEOUT)
        return noAnswer(location);
    if (isAuthenticationRefusal(code))
        return Status::failure(u"authentication refused for %1: %2"_s.arg(
            m_options.user.isEmpty() ? u"anonymous"_s : m_options.user, why));
    return Status::failure(u"the server's answer was not understood: %1"_s.arg(why));
}

Status LdapConnection::search(const LdapLocation &location, const QByteArrayList &attributes,
                              const EntrySink &onEntry)
{
    std::vector<char *> names;
    for (const QByteArray &attribute : attributes)
        names.push_back(const_cast<char *>(attribute.constData()));
    names.push_back(nullptr);
    const int scope = location.scope == LdapLocation::Scope::Base       ? LDAP_SCOPE_BASE
                      : location.scope == LdapLocation::Scope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                                                        : LDAP_SCOPE_SUBTREE;
    const QByteArray base = location.baseDn.toUtf8();
    const QByteArray filter = location.searchFilter().toUtf8();
    QByteArray cookie;
    do {
        berval cookieValue{ber_len_t(cookie.size()), cookie.data()};
        LDAPControl *page = nullptr;
        if (const int code = ldap_create_page_control(
                m_handle.get(), PageSize, cookie.isEmpty() ? nullptr : &cookieValue, 0, &page);
            code != LDAP_SUCCESS)
            return Status::failure(u"cannot ask for a page of entries: %1"_s.arg(failure(code)));
        LDAPControl *controls[] = {page, nullptr};
        int messageId = 0;
        const int code =
            ldap_search_ext(m_handle.get(), base.constData(), scope, filter.constData(),
                            names.data(), 0, controls, nullptr, nullptr, 0, &messageId);
        ldap_control_free(page);
        if (code == LDAP_FILTER_ERROR)
            return Status::failure(
                u"the filter %1 is not a valid LDAP filter"_s.arg(location.filter));
        if (code != LDAP_SUCCESS)
            return Status::failure(u"the search failed: %1"_s.arg(failure(code)));
        Result<QByteArray> next = readPage(messageId, onEntry);
        if (!next) {
            ldap_abandon_ext(m_handle.get(), messageId, nullptr, nullptr);
            return Status::failure(next.error());
        }
        cookie = *next;
    } while (!cookie.isEmpty());
    return {};
}

// The entries of one page, up to its result; what comes back is the cookie for the next
// page, empty after the last.
Result<QByteArray> LdapConnection::readPage(int messageId, const EntrySink &onEntry)
{
    for (;;) {
        timeval timeout = toTimeval(m_options.timeout);
        LDAPMessage *received = nullptr;
        const int type = ldap_result(m_handle.get(), messageId, LDAP_MSG_ONE, &timeout, &received);
        MessagePtr message(received);
        if (type == 0)
            return Result<QByteArray>::failure(
                u"the server did not answer within %1 ms"_s.arg(m_options.timeout.count()));
        if (type < 0) {
            int code = LDAP_OTHER;
            ldap_get_option(m_handle.get(), LDAP_OPT_RESULT_CODE, &code);
            return Result<QByteArray>::failure(
                code == LDAP_SERVER_DOWN
                    ? u"the connection to the server was lost: %1"_s.arg(failure(code))
                    : u"the server's answer was not understood: %1"_s.arg(failure(code)));
        }
        if (type == LDAP_RES_SEARCH_ENTRY) {
            if (Status s = onEntry(entryOf(m_handle.get(), message.get())); !s)
                return Result<QByteArray>::failure(s.error());
        } else if (type == LDAP_RES_SEARCH_RESULT) {
            return finishPage(message.release());
        } else if (type != LDAP_RES_SEARCH_REFERENCE) {
            return Result<QByteArray>::failure(
                u"the server's answer was not understood: a message of type %1 during a search"_s
                    .arg(type));
        }
    }
}

Result<QByteArray> LdapConnection::finishPage(LDAPMessage *result)
{
    int code = LDAP_SUCCESS;
    char *diagnostic = nullptr;
    LDAPControl **controls = nullptr;
    const int parsed = ldap_parse_result(m_handle.get(), result, &code, nullptr, &diagnostic,
                                         nullptr, &controls, 1);
    const QString words =
        diagnostic && *diagnostic ? u" ("_s + QString::fromUtf8(diagnostic) + u')' : QString();
    ldap_memfree(diagnostic);
    std::unique_ptr<LDAPControl *, void (*)(LDAPControl **)> owned(controls, ldap_controls_free);
    if (parsed != LDAP_SUCCESS)
        return Result<QByteArray>::failure(
            u"the server's answer was not understood: %1"_s.arg(failure(parsed)));
    if (code == LDAP_SIZELIMIT_EXCEEDED)
        return Result<QByteArray>::failure(
            u"the server stopped at its size limit and does not page its answers%1"_s.arg(words));
    if (code == LDAP_NO_SUCH_OBJECT)
        return Result<QByteArray>::failure(u"the server has no entry for the base%1"_s.arg(words));
    if (code != LDAP_SUCCESS)
        return Result<QByteArray>::failure(
            u"the search failed: %1%2"_s.arg(QString::fromUtf8(ldap_err2string(code)), words));
    LDAPControl *page = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr);
    if (!page)
        return QByteArray();
    ber_int_t estimate = 0;
    berval cookie{0, nullptr};
    if (ldap_parse_pageresponse_control(m_handle.get(), page, &estimate, &cookie) != LDAP_SUCCESS)
        return Result<QByteArray>::failure(
            u"the server's answer was not understood: a broken paging control"_s);
    QByteArray next(cookie.bv_val, qsizetype(cookie.bv_len));
    ber_memfree(cookie.bv_val);
    return next;
}

} // namespace corvel
