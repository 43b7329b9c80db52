#pragma once

#include "remote/DavClient.h"
#include "remote/MultistatusReader.h"
#include "remote/RemoteFolderSource.h"

#include <QUrl>

#include <memory>

namespace corvel {

// The address books of a CardDAV server (RFC 6352) as folders of cards. The location may
// name the server (found through /.well-known/carddav, RFC 6764), a principal, an address
// book home or one address book. A first sync takes every card in one addressbook-query;
// later ones ask what changed with sync-collection (RFC 6578) when the server offers it,
// else compare etags from one PROPFIND, and fetch the changed cards with addressbook-multiget.
class CardDavSource final : public RemoteFolderSource
{
public:
    CardDavSource(QUrl location, DavClient::Options options);

    [[nodiscard]] Result<std::vector<RemoteFolder>> folders() override;
    [[nodiscard]] Result<RemoteFolder> update(const RemoteFolder &folder,
                                              const RemoteFolder &cached) override;

private:
    [[nodiscard]] Result<Multistatus> ask(const QByteArray &method, const QUrl &url, int depth,
                                          const QByteArray &body, QUrl *answered = nullptr);
    [[nodiscard]] Result<QUrl> addressBookHome(DavResource &start, const QUrl &url);
    [[nodiscard]] Result<RemoteFolder> everyCard(const RemoteFolder &folder);
    // tokenRefused: the server no longer knows the cached token (the caller compares etags).
    [[nodiscard]] Result<RemoteFolder> changesSince(const RemoteFolder &folder,
                                                    const RemoteFolder &cached, bool &tokenRefused);
    [[nodiscard]] Result<RemoteFolder> byEtags(const RemoteFolder &folder,
                                               const RemoteFolder &cached);
    [[nodiscard]] Status fetch(const QUrl &book, const QStringList &hrefs, RemoteFolder &into);
    [[nodiscard]] QString keyOf(const QString &href, const QUrl &base) const;

    QUrl m_location;
    DavClient m_client;
    QHash<QString, bool> m_offersSync; // by folder href, from folders()
};

} // namespace corvel
