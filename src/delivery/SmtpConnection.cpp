#include "delivery/SmtpConnection.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr int SliceMs = 200;
constexpr qsizetype MaxReplyBytes = 64 * 1024;

QString systemReason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

QString tlsReason()
{
    const unsigned long code = ERR_get_error();
    char text[256] = {};
    if (code != 0)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return code != 0 ? QString::fromUtf8(text) : u"TLS failed"_s;
}

// Waits for the socket in slices; false when the time is up or the caller gives up.
bool waitFor(int fd, short events, int timeoutMs, const std::function<bool()> &keepWaiting)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, SliceMs);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return true; // let the read or write report it
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (keepWaiting && !keepWaiting())
            return false;
    }
}

} // namespace

SmtpConnection::~SmtpConnection()
{
    close();
}

bool SmtpConnection::fail(const QString &reason)
{
    m_error = reason;
    close();
    return false;
}

void SmtpConnection::close()
{
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_context) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
}

bool SmtpConnection::connectTo(const QString &host, int port, int timeoutMs)
{
    close();
    m_error.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    QString h = host;
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    const int resolved =
        ::getaddrinfo(h.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (resolved != 0)
        return fail(u"The server %1 cannot be found: %2"_s.arg(
            host, QString::fromUtf8(gai_strerror(resolved))));
    QString lastReason;
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            lastReason = systemReason(errno);
            continue;
        }
        int error = 0;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                error = ETIMEDOUT;
                if (waitFor(fd, POLLOUT, timeoutMs, {})) {
                    socklen_t length = sizeof error;
                    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                        error = errno;
                }
            }
        }
        if (error != 0) {
            lastReason = systemReason(error);
            ::close(fd);
            continue;
        }
        // Whole commands and whole messages are written at once: nothing to gain from Nagle.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        m_fd = fd;
        break;
    }
    ::freeaddrinfo(found);
    if (m_fd < 0)
        return fail(
            u"The server %1 port %2 cannot be reached: %3"_s.arg(host).arg(port).arg(lastReason));
    return true;
}

bool SmtpConnection::startTls(const QString &host, int timeoutMs, const QString &caFile)
{
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context)
        return fail(tlsReason());
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    if (caFile.isEmpty()) {
        SSL_CTX_set_default_verify_paths(m_context);
    } else if (SSL_CTX_load_verify_locations(m_context, QFile::encodeName(caFile).constData(),
                                             nullptr) != 1) {
        return fail(u"The certificates of %1 cannot be read: %2"_s.arg(caFile, tlsReason()));
    }
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    m_ssl = SSL_new(m_context);
    QString bare = host;
    if (bare.startsWith(u'[') && bare.endsWith(u']'))
        bare = bare.mid(1, bare.size() - 2);
    const QByteArray name = bare.toUtf8();
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1)
        return fail(tlsReason());
    // A server given by number is checked against the addresses its certificate names; a
    // name is never matched against them, nor sent as the server name.
    if (ASN1_OCTET_STRING *address = a2i_IPADDRESS(name.constData())) {
        ASN1_OCTET_STRING_free(address);
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), name.constData()) != 1)
            return fail(tlsReason());
    } else {
        if (SSL_set1_host(m_ssl, name.constData()) != 1)
            return fail(tlsReason());
        SSL_set_tlsext_host_name(m_ssl, name.constData());
    }
    // The socket blocks; a receive timeout bounds the handshake.
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const int done = SSL_connect(m_ssl);
    timeval none{0, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
    if (done != 1) {
        const long verified = SSL_get_verify_result(m_ssl);
        if (verified != X509_V_OK)
            return fail(u"The certificate of %1 is not trusted: %2"_s.arg(
                host, QString::fromUtf8(X509_verify_cert_error_string(verified))));
        return fail(u"TLS with %1 failed: %2"_s.arg(host, tlsReason()));
    }
    m_buffer.clear(); // nothing read before the switch may count after it
    return true;
}

bool SmtpConnection::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return fail(m_error.isEmpty() ? u"Not connected."_s : m_error);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        qsizetype n;
        if (m_ssl) {
            n = SSL_write(m_ssl, data, int(std::min<qsizetype>(left, 1 << 30)));
            if (n <= 0)
                return fail(u"The connection was lost while writing: %1"_s.arg(tlsReason()));
        } else {
            n = ::send(m_fd, data, size_t(left), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return fail(
                    u"The connection was lost while writing: %1"_s.arg(systemReason(errno)));
            }
        }
        data += n;
        left -= n;
    }
    return true;
}

int SmtpConnection::fill(int timeoutMs, const std::function<bool()> &keepWaiting)
{
    if (!(m_ssl && SSL_pending(m_ssl) > 0) && !waitFor(m_fd, POLLIN, timeoutMs, keepWaiting))
        return 0;
    char chunk[16384];
    for (;;) {
        qsizetype n;
        if (m_ssl) {
            n = SSL_read(m_ssl, chunk, sizeof chunk);
            if (n <= 0) {
                fail(u"The server closed the connection."_s);
                return -1;
            }
        } else {
            n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                fail(n == 0 ? u"The server closed the connection."_s
                            : u"The connection was lost: %1"_s.arg(systemReason(errno)));
                return -1;
            }
        }
        m_buffer.append(chunk, n);
        return 1;
    }
}

SmtpConnection::Reply SmtpConnection::readReply(int timeoutMs,
                                                const std::function<bool()> &keepWaiting)
{
    Reply reply;
    if (m_fd < 0) {
        m_error = m_error.isEmpty() ? u"Not connected."_s : m_error;
        return reply;
    }
    for (;;) {
        const qsizetype newline = m_buffer.indexOf('\n');
        if (newline < 0) {
            if (m_buffer.size() > MaxReplyBytes) {
                fail(u"The server's reply is too long."_s);
                return {};
            }
            const int filled = fill(timeoutMs, keepWaiting);
            if (filled == 0) {
                fail(u"The server did not answer in time."_s);
                return {};
            }
            if (filled < 0)
                return {};
            continue;
        }
        QByteArray line = m_buffer.left(newline);
        m_buffer.remove(0, newline + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        bool ok = false;
        const int code = line.left(3).toInt(&ok);
        if (!ok || code < 100 || code > 599) {
            fail(u"The server's reply cannot be understood: %1"_s.arg(
                QString::fromUtf8(line.left(200))));
            return {};
        }
        reply.lines << QString::fromUtf8(line.mid(4));
        if (line.size() > 3 && line[3] == '-')
            continue;
        reply.code = code;
        reply.text = QString::fromUtf8(line.left(3)) + u' ' + reply.lines.join(u' ').simplified();
        return reply;
    }
}

} // namespace corvel
