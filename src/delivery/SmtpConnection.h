#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

struct ssl_st;
struct ssl_ctx_st;

namespace corvel {

// One blocking connection to a mail server, plain or TLS (from the start, or switched on after
// STARTTLS), with buffered reading of multi-line replies. Waits are cut into short slices so a
// stop can be seen; every failure closes the connection and leaves its reason in error().
class SmtpConnection
{
public:
    struct Reply
    {
        int code = 0; // 0: no reply (see error())
        QString text; // the lines joined by " "
        QStringList lines;
    };

    SmtpConnection() = default;
    ~SmtpConnection();
    SmtpConnection(const SmtpConnection &) = delete;
    SmtpConnection &operator=(const SmtpConnection &) = delete;

    [[nodiscard]] bool connectTo(const QString &host, int port, int timeoutMs);
    // Encrypts the connection, checking the server's certificate against the host name (or
    // the address, for a host given by number) and the certificates of `caFile`, or the
    // system's when it is empty.
    [[nodiscard]] bool startTls(const QString &host, int timeoutMs, const QString &caFile = {});
    [[nodiscard]] bool write(const QByteArray &bytes);
    // `keepWaiting` is asked every slice; answering false gives up.
    [[nodiscard]] Reply readReply(int timeoutMs, const std::function<bool()> &keepWaiting = {});
    void close();

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] const QString &error() const { return m_error; }

private:
    bool fail(const QString &reason);
    // 1: data, 0: timed out or given up, -1: closed or failed.
    int fill(int timeoutMs, const std::function<bool()> &keepWaiting);

    int m_fd = -1;
    ssl_ctx_st *m_context = nullptr;
    ssl_st *m_ssl = nullptr;
    QByteArray m_buffer;
    QString m_error;
};

} // namespace corvel
