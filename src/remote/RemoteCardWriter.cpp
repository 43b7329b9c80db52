#include "remote/RemoteCardWriter.h"

#include "remote/MultistatusReader.h"
#include "remote/RemoteSources.h"
#include "remote/StoreCache.h"
#include "support/StoreLocation.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const QByteArray EtagProp = R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:getetag/></d:prop></d:propfind>)";

QByteArray condition(const QString &knownEtag)
{
    return knownEtag.isEmpty() ? QByteArray("If-None-Match") : QByteArray("If-Match");
}

// The card's etag as the server has it: 404 when it has none; a PUT may answer without one.
Result<std::pair<int, QString>> etagOf(DavClient &client, const QUrl &url)
{
    using Found = Result<std::pair<int, QString>>;
    const Result<DavReply> reply = client.send("PROPFIND", url, 0, EtagProp);
    if (!reply.ok())
        return Found::failure(reply.error());
    if (reply->status == 404)
        return std::pair<int, QString>{404, QString()};
    const Result<Multistatus> found =
        reply->status == 207
            ? MultistatusReader::read(reply->body)
            : Result<Multistatus>::failure(
                  u"%1 answered with status %2"_s.arg(url.toString()).arg(reply->status));
    if (!found.ok() || found->resources.empty())
        return Found::failure(u"The server's answer is not understood: "_s +
                              (found.ok() ? url.toString() : found.error()));
    return std::pair<int, QString>{200, found->resources.front().etag};
}

} // namespace

RemoteCardWriter::RemoteCardWriter(RemoteStoreOptions options, QString cacheHome)
    : m_options(std::move(options))
    , m_cacheHome(std::move(cacheHome))
{
}

Result<RemoteCardWriter::Written> RemoteCardWriter::write(const QString &folderHref,
                                                          const QString &fileName,
                                                          const QByteArray &card,
                                                          const QString &knownEtag) const
{
    using Done = Result<Written>;
    if (!m_options.location.startsWith(u"http"_s, Qt::CaseInsensitive))
        return Done::failure(u"%1 is a directory Corvel only reads."_s.arg(m_options.name));
    const Result<QString> password = m_options.password();
    if (!password.ok())
        return Done::failure(password.error());
    Result<DavClient::Options> options = RemoteSources::davOptions(m_options, *password);
    if (!options.ok())
        return Done::failure(options.error());
    DavClient client(std::move(*options));
    const QString href = (folderHref.endsWith(u'/') ? folderHref : folderHref + u'/') + fileName;
    QUrl url(m_options.location);
    url.setPath(href, QUrl::DecodedMode);

    Written written;
    QString etag = knownEtag;
    for (int attempt = 0;; ++attempt) {
        const QByteArray expected = etag.isEmpty() ? QByteArray("*") : etag.toUtf8();
        const Result<DavReply> put = client.send(
            "PUT", url, -1, card,
            {{"Content-Type", "text/vcard; charset=utf-8"}, {condition(etag), expected}});
        if (!put.ok())
            return Done::failure(put.error());
        if (put->status >= 200 && put->status < 300) {
            written.etag = QString::fromUtf8(put->etag);
            break;
        }
        if (put->status != 412)
            return Done::failure(u"The server refused the card: %1 answered with status %2."_s
                                     .arg(put->url.toString())
                                     .arg(put->status));
        // A card deleted on the server since is put there again; one changed is never
        // overwritten, nor one of this name the caller did not know of.
        const Result<std::pair<int, QString>> now = etagOf(client, url);
        if (!now.ok())
            return Done::failure(now.error());
        if (etag.isEmpty() && attempt == 0)
            return Done::failure(
                u"A card %1 is on the server already; it is not overwritten."_s.arg(
                    url.toString()));
        if (now->first != 404 || attempt > 0)
            return Done::failure(u"The card %1 was changed on the server since it was "
                                 "published."_s.arg(url.toString()));
        etag.clear();
        written.recreated = true;
    }
    if (written.etag.isEmpty()) {
        const Result<std::pair<int, QString>> now = etagOf(client, url);
        if (now.ok())
            written.etag = now->second;
    }
    const StoreCache cache(StoreCacheFolder(m_cacheHome, m_options.name));
    if (const Status cached = cache.putCard(folderHref, {href, written.etag, card}); !cached.ok())
        written.cacheProblem = cached.error();
    return written;
}

} // namespace corvel
