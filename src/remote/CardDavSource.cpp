#include "remote/CardDavSource.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr int MultigetChunk = 1000;

const QByteArray FolderProps = R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">
<d:prop><d:resourcetype/><d:displayname/><d:current-user-principal/><c:addressbook-home-set/>
<d:sync-token/><d:supported-report-set/></d:prop></d:propfind>)";

const QByteArray EtagProps = R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:getetag/><d:resourcetype/></d:prop></d:propfind>)";

const QByteArray EveryCard = R"(<?xml version="1.0" encoding="utf-8"?>
<c:addressbook-query xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">
<d:prop><d:getetag/><c:address-data/></d:prop></c:addressbook-query>)";

QByteArray syncCollection(const QString &token)
{
    return R"(<?xml version="1.0" encoding="utf-8"?>
<d:sync-collection xmlns:d="DAV:"><d:sync-token>)" +
           token.toHtmlEscaped().toUtf8() + R"(</d:sync-token><d:sync-level>1</d:sync-level>
<d:prop><d:getetag/></d:prop></d:sync-collection>)";
}

QByteArray multiget(const QStringList &encodedHrefs)
{
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<c:addressbook-multiget xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">
<d:prop><d:getetag/><c:address-data/></d:prop>)";
    for (const QString &href : encodedHrefs)
        body += "<d:href>" + href.toHtmlEscaped().toUtf8() + "</d:href>";
    return body + "</c:addressbook-multiget>";
}

QString notUnderstood(const QUrl &url, int status)
{
    return u"The server's answer is not understood: %1 answered with status %2."_s
        .arg(url.toString())
        .arg(status);
}

} // namespace

CardDavSource::CardDavSource(QUrl location, DavClient::Options options)
    : m_location(std::move(location))
    , m_client(std::move(options))
{
}

QString CardDavSource::keyOf(const QString &href, const QUrl &base) const
{
    QString path = base.resolved(QUrl(href)).path(QUrl::FullyDecoded);
    return path;
}

Result<Multistatus> CardDavSource::ask(const QByteArray &method, const QUrl &url, int depth,
                                       const QByteArray &body, QUrl *answered)
{
    Result<DavReply> reply = m_client.send(method, url, depth, body);
    if (!reply.ok())
        return Result<Multistatus>::failure(reply.error());
    if (reply->status != 207)
        return Result<Multistatus>::failure(notUnderstood(reply->url, reply->status));
    if (answered)
        *answered = reply->url;
    return MultistatusReader::read(reply->body);
}

Result<std::vector<RemoteFolder>> CardDavSource::folders()
{
    QUrl start = m_location;
    QUrl answered;
    Result<Multistatus> found = Result<Multistatus>::failure({});
    // A bare server is asked where its address books are first (RFC 6764).
    if (start.path().isEmpty() || start.path() == u"/"_s) {
        found = ask("PROPFIND", start.resolved(QUrl(u"/.well-known/carddav"_s)), 0, FolderProps,
                    &answered);
    }
    if (!found.ok()) {
        answered = start;
        found = ask("PROPFIND", start, 0, FolderProps);
    }
    if (!found.ok())
        return Result<std::vector<RemoteFolder>>::failure(found.error());
    if (found->resources.empty())
        return Result<std::vector<RemoteFolder>>::failure(
            u"The server's answer is not understood: %1 says nothing of itself."_s.arg(
                answered.toString()));
    DavResource &self = found->resources.front();
    if (self.isAddressBook) {
        m_offersSync[keyOf(self.href, answered)] = self.offersSyncCollection;
        return std::vector<RemoteFolder>{
            {keyOf(self.href, answered), self.displayName, self.syncToken, {}}};
    }
    const Result<QUrl> home = addressBookHome(self, answered);
    if (!home.ok())
        return Result<std::vector<RemoteFolder>>::failure(home.error());
    const Result<Multistatus> books = ask("PROPFIND", *home, 1, FolderProps);
    if (!books.ok())
        return Result<std::vector<RemoteFolder>>::failure(books.error());
    std::vector<RemoteFolder> folders;
    for (const DavResource &book : books->resources) {
        if (!book.isAddressBook)
            continue;
        const QString key = keyOf(book.href, *home);
        m_offersSync[key] = book.offersSyncCollection;
        folders.push_back({key, book.displayName, book.syncToken, {}});
    }
    return folders;
}

Result<QUrl> CardDavSource::addressBookHome(DavResource &start, const QUrl &url)
{
    if (start.addressBookHome.isEmpty() && !start.principal.isEmpty()) {
        const QUrl principal = url.resolved(QUrl(start.principal));
        const Result<Multistatus> found = ask("PROPFIND", principal, 0, FolderProps);
        if (!found.ok())
            return Result<QUrl>::failure(found.error());
        if (!found->resources.empty())
            start.addressBookHome = found->resources.front().addressBookHome;
    }
    if (start.addressBookHome.isEmpty())
        return Result<QUrl>::failure(
            u"No address book is found at %1: it names no CardDAV address book, principal "
            "or server."_s.arg(m_location.toString()));
    return url.resolved(QUrl(start.addressBookHome));
}

Result<RemoteFolder> CardDavSource::update(const RemoteFolder &folder, const RemoteFolder &cached)
{
    const bool offersSync = m_offersSync.value(folder.href);
    if (cached.cards.empty() && cached.syncToken.isEmpty())
        return everyCard(folder);
    if (offersSync && !cached.syncToken.isEmpty() && !folder.syncToken.isEmpty()) {
        if (folder.syncToken == cached.syncToken) {
            RemoteFolder same = cached;
            same.displayName = folder.displayName;
            return same;
        }
        bool tokenRefused = false;
        Result<RemoteFolder> changed = changesSince(folder, cached, tokenRefused);
        if (changed.ok() || !tokenRefused)
            return changed;
    }
    return byEtags(folder, cached);
}

Result<RemoteFolder> CardDavSource::everyCard(const RemoteFolder &folder)
{
    QUrl book = m_location;
    book.setPath(folder.href, QUrl::DecodedMode);
    const Result<Multistatus> found = ask("REPORT", book, 1, EveryCard);
    if (!found.ok())
        return Result<RemoteFolder>::failure(found.error());
    RemoteFolder result{folder.href, folder.displayName, folder.syncToken, {}};
    for (const DavResource &card : found->resources) {
        if (card.hasAddressData)
            result.cards.push_back({keyOf(card.href, book), card.etag, card.addressData});
    }
    return result;
}

Result<RemoteFolder> CardDavSource::changesSince(const RemoteFolder &folder,
                                                 const RemoteFolder &cached, bool &tokenRefused)
{
    QUrl book = m_location;
    book.setPath(folder.href, QUrl::DecodedMode);
    const Result<DavReply> reply =
        m_client.send("REPORT", book, -1, syncCollection(cached.syncToken));
    if (!reply.ok())
        return Result<RemoteFolder>::failure(reply.error());
    // RFC 6578 refuses a token it no longer knows with 403 or 409 (some servers say 400).
    if (reply->status != 207) {
        tokenRefused = reply->status == 400 || reply->status == 403 || reply->status == 409;
        return Result<RemoteFolder>::failure(notUnderstood(reply->url, reply->status));
    }
    const Result<Multistatus> found = MultistatusReader::read(reply->body);
    if (!found.ok())
        return Result<RemoteFolder>::failure(found.error());
    QHash<QString, QString> etags; // every change, by href; empty: removed
    for (const DavResource &card : found->resources) {
        const QString key = keyOf(card.href, book);
        if (key != folder.href)
            etags.insert(key, card.status == 404 ? QString() : card.etag);
    }
    RemoteFolder result{folder.href,
                        folder.displayName,
                        found->syncToken.isEmpty() ? folder.syncToken : found->syncToken,
                        {}};
    QStringList wanted;
    for (const RemoteCard &card : cached.cards) {
        if (!etags.contains(card.href))
            result.cards.push_back({card.href, card.etag, {}});
    }
    for (auto it = etags.cbegin(); it != etags.cend(); ++it) {
        if (!it.value().isEmpty())
            wanted << it.key();
    }
    if (Status fetched = fetch(book, wanted, result); !fetched.ok())
        return Result<RemoteFolder>::failure(fetched.error());
    return result;
}

Result<RemoteFolder> CardDavSource::byEtags(const RemoteFolder &folder, const RemoteFolder &cached)
{
    QUrl book = m_location;
    book.setPath(folder.href, QUrl::DecodedMode);
    const Result<Multistatus> found = ask("PROPFIND", book, 1, EtagProps);
    if (!found.ok())
        return Result<RemoteFolder>::failure(found.error());
    QHash<QString, QString> known;
    for (const RemoteCard &card : cached.cards)
        known.insert(card.href, card.etag);
    RemoteFolder result{folder.href, folder.displayName, folder.syncToken, {}};
    QStringList wanted;
    for (const DavResource &card : found->resources) {
        const QString key = keyOf(card.href, book);
        if (key == folder.href || card.status == 404)
            continue;
        if (!card.etag.isEmpty() && known.value(key) == card.etag)
            result.cards.push_back({key, card.etag, {}});
        else
            wanted << key;
    }
    if (Status fetched = fetch(book, wanted, result); !fetched.ok())
        return Result<RemoteFolder>::failure(fetched.error());
    return result;
}

Status CardDavSource::fetch(const QUrl &book, const QStringList &hrefs, RemoteFolder &into)
{
    for (qsizetype from = 0; from < hrefs.size(); from += MultigetChunk) {
        QStringList encoded;
        for (const QString &href : hrefs.mid(from, MultigetChunk)) {
            QUrl url = book;
            url.setPath(href, QUrl::DecodedMode);
            encoded << url.path(QUrl::FullyEncoded);
        }
        const Result<Multistatus> found = ask("REPORT", book, 0, multiget(encoded));
        if (!found.ok())
            return Status::failure(found.error());
        for (const DavResource &card : found->resources) {
            // Gone between the listing and the fetch: it is gone.
            if (card.status == 404 || !card.hasAddressData)
                continue;
            into.cards.push_back({keyOf(card.href, book), card.etag, card.addressData});
        }
    }
    return {};
}

} // namespace corvel
