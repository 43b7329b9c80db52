#include "remote/DavClient.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString origin(const QUrl &url)
{
    return url
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

QString certificateProblem(const QUrl &url, const QList<QSslError> &errors)
{
    for (const QSslError &error : errors) {
        if (error.error() == QSslError::HostNameMismatch)
            return u"The certificate of %1 is not trusted for the name %2."_s.arg(origin(url),
                                                                                  url.host());
    }
    QStringList reasons;
    for (const QSslError &error : errors)
        reasons << error.errorString();
    return u"The certificate of %1 is not trusted: %2."_s.arg(origin(url), reasons.join(u"; "_s));
}

QString transportProblem(const QUrl &url, QNetworkReply::NetworkError error, const QString &detail,
                         int timeoutSeconds)
{
    switch (error) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        return u"No answer from %1 within %2 s."_s.arg(origin(url)).arg(timeoutSeconds);
    case QNetworkReply::SslHandshakeFailedError:
        return u"No secure connection to %1: %2."_s.arg(origin(url), detail);
    default:
        return u"Cannot connect to %1: %2."_s.arg(origin(url), detail);
    }
}

} // namespace

DavClient::DavClient(Options options)
    : m_options(std::move(options))
{
    // Followed here, counted, and never from https to http.
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

Result<DavReply> DavClient::send(const QByteArray &method, const QUrl &url, int depth,
                                 const QByteArray &body, const Headers &headers)
{
    QUrl current = url;
    for (int redirects = 0;; ++redirects) {
        QUrl next;
        Result<DavReply> reply = sendOnce(method, current, depth, body, headers, next);
        if (!reply.ok() || next.isEmpty())
            return reply;
        if (redirects == MaxRedirects)
            return Result<DavReply>::failure(
                u"More than %1 redirects from %2."_s.arg(MaxRedirects).arg(url.toString()));
        // A password sent in the clear because a server said so would be a password lost.
        if (current.scheme() == u"https"_s && next.scheme() != u"https"_s)
            return Result<DavReply>::failure(u"%1 redirects to %2, which is not secure."_s.arg(
                current.toString(), next.toString()));
        current = next;
    }
}

Result<DavReply> DavClient::sendOnce(const QByteArray &method, const QUrl &url, int depth,
                                     const QByteArray &body, const Headers &headers, QUrl &redirect)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(m_options.timeoutSeconds * 1000);
    request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    if (depth >= 0)
        request.setRawHeader("Depth", QByteArray::number(depth));
    if (!m_options.user.isEmpty()) {
        const QByteArray pair = (m_options.user + u':' + m_options.password).toUtf8();
        request.setRawHeader("Authorization", "Basic " + pair.toBase64());
    }
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    if (url.scheme() == u"https"_s && !m_options.extraAuthorities.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_options.extraAuthorities);
        request.setSslConfiguration(tls);
    }

    QNetworkReply *reply = m_network.sendCustomRequest(request, method, body);
    QByteArray received;
    QList<QSslError> sslErrors;
    bool tooLarge = false;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [&](const QList<QSslError> &errors) { sslErrors = errors; });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        received += reply->readAll();
        if (received.size() > m_options.maxReplyBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer cancelCheck;
    bool cancelled = false;
    if (m_options.cancelled) {
        QObject::connect(&cancelCheck, &QTimer::timeout, reply, [&] {
            if (m_options.cancelled->load()) {
                cancelled = true;
                reply->abort();
            }
        });
        cancelCheck.start(100);
    }
    if (!reply->isFinished())
        loop.exec();
    received += reply->readAll();
    const std::unique_ptr<QNetworkReply> done(reply);

    if (cancelled)
        return Result<DavReply>::failure(u"The sync was cancelled."_s);
    if (tooLarge)
        return Result<DavReply>::failure(
            u"The answer of %1 is larger than %2 MiB."_s.arg(url.toString())
                .arg(m_options.maxReplyBytes / (1024 * 1024)));
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!sslErrors.isEmpty())
        return Result<DavReply>::failure(certificateProblem(url, sslErrors));
    if (status == 0)
        return Result<DavReply>::failure(
            transportProblem(url, reply->error(), reply->errorString(), m_options.timeoutSeconds));
    // An answer cut short by silence is no answer.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return Result<DavReply>::failure(
            transportProblem(url, reply->error(), {}, m_options.timeoutSeconds));
    if (status == 401)
        return Result<DavReply>::failure(
            m_options.user.isEmpty()
                ? u"%1 asks for a user name and password (--user, --password-command)."_s.arg(
                      origin(url))
                : u"Authentication refused by %1 for the user %2."_s.arg(origin(url),
                                                                         m_options.user));
    if (status >= 300 && status < 400 && reply->hasRawHeader("Location"))
        redirect = url.resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
    return DavReply{status, std::move(received), url, reply->rawHeader("ETag")};
}

} // namespace corvel
