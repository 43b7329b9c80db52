#include "remote/RemoteSources.h"

#include "remote/CardDavSource.h"
#include "remote/LdapSource.h"

#include <QFile>
#include <QSslCertificate>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

using Opened = Result<std::unique_ptr<RemoteFolderSource>>;

Opened openCardDav(const RemoteStoreOptions &options, const QString &password,
                   const std::atomic<bool> *cancelled)
{
    Result<DavClient::Options> client = RemoteSources::davOptions(options, password, cancelled);
    if (!client.ok())
        return Opened::failure(client.error());
    const QUrl location(options.location, QUrl::StrictMode);
    if (!location.isValid() || location.host().isEmpty())
        return Opened::failure(u"%1 is no URL a server can be reached at."_s.arg(options.location));
    return Opened(std::make_unique<CardDavSource>(location, std::move(*client)));
}

Opened openLdap(const RemoteStoreOptions &options, const QString &password,
                const std::atomic<bool> *)
{
    LdapConnectOptions ldap;
    ldap.url = options.location;
    ldap.user = options.user;
    ldap.password = password;
    ldap.caFile = options.caFile;
    if (!options.categoriesAttribute.isEmpty())
        ldap.categoriesAttribute = options.categoriesAttribute;
    ldap.timeout = std::chrono::seconds(options.timeoutSeconds);
    return Opened(std::make_unique<LdapSource>(std::move(ldap)));
}

} // namespace

const std::vector<RemoteSources::Kind> &RemoteSources::kinds()
{
    static const std::vector<Kind> table = {
        {u"http"_s, openCardDav},
        {u"https"_s, openCardDav},
        {u"ldap"_s, openLdap},
        {u"ldaps"_s, openLdap},
    };
    return table;
}

Result<DavClient::Options> RemoteSources::davOptions(const RemoteStoreOptions &options,
                                                     const QString &password,
                                                     const std::atomic<bool> *cancelled)
{
    using Made = Result<DavClient::Options>;
    DavClient::Options client;
    client.cancelled = cancelled;
    client.user = options.user;
    client.password = password;
    client.timeoutSeconds = options.timeoutSeconds;
    if (!options.caFile.isEmpty()) {
        QFile pem(options.caFile);
        if (!pem.open(QIODevice::ReadOnly))
            return Made::failure(u"The certificate file %1 cannot be read: %2"_s.arg(
                options.caFile, pem.errorString()));
        client.extraAuthorities = QSslCertificate::fromData(pem.readAll(), QSsl::Pem);
        if (client.extraAuthorities.isEmpty())
            return Made::failure(
                u"The certificate file %1 holds no PEM certificate."_s.arg(options.caFile));
    }
    return client;
}

Result<std::unique_ptr<RemoteFolderSource>> RemoteSources::open(const RemoteStoreOptions &options,
                                                                const QString &password,
                                                                const std::atomic<bool> *cancelled)
{
    const QString scheme = options.location.section(u"://"_s, 0, 0).toLower();
    for (const Kind &kind : kinds()) {
        if (kind.scheme == scheme)
            return kind.open(options, password, cancelled);
    }
    return Opened::failure(
        u"The store %1 cannot be synced: this build reads no %2:// servers yet."_s.arg(options.name,
                                                                                       scheme));
}

} // namespace corvel
