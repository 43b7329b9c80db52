#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <atomic>

namespace corvel {

// An HTTP answer with a status line: what the server said, whatever the status.
struct DavReply
{
    int status = 0;
    QByteArray body;
    QUrl url;        // the one that answered, after redirects
    QByteArray etag; // the ETag header, for a PUT
};

// Blocking WebDAV requests over one connection pool: each call waits in a local event loop
// (so it must run on a thread that has no other use for it; the window runs syncs on a
// thread of their own). Failures that leave no answer, or that no caller could use, are
// told as the user meets them: cannot connect, authentication refused, certificate not
// trusted, no answer in time.
class DavClient
{
public:
    struct Options
    {
        QString user;
        QString password;
        QList<QSslCertificate> extraAuthorities; // trusted besides the system's
        int timeoutSeconds = 30;                 // of silence, not of a whole transfer
        qint64 maxReplyBytes = qint64(512) * 1024 * 1024;
        const std::atomic<bool> *cancelled = nullptr; // set: the request ends at once
    };
    static constexpr int MaxRedirects = 5;

    explicit DavClient(Options options);

    // Sent after the defaults, so one of the same name replaces it (Content-Type, If-Match).
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // depth < 0 sends no Depth header. Redirects are followed (the same method and body).
    [[nodiscard]] Result<DavReply> send(const QByteArray &method, const QUrl &url, int depth,
                                        const QByteArray &body, const Headers &headers = {});

private:
    [[nodiscard]] Result<DavReply> sendOnce(const QByteArray &method, const QUrl &url, int depth,
                                            const QByteArray &body, const Headers &headers,
                                            QUrl &redirect);

    Options m_options;
    QNetworkAccessManager m_network;
};

} // namespace corvel
