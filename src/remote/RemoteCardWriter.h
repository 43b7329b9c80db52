#pragma once

#include "remote/RemoteStoreOptions.h"
#include "support/Result.h"

#include <QByteArray>
#include <QString>

namespace corvel {

// Puts one card into a folder of a CardDAV store, and then into the store's cache, never
// over a version of it the caller has not seen. Blocking: the window calls it off its thread.
class RemoteCardWriter
{
public:
    struct Written
    {
        QString etag;           // the card's version now
        bool recreated = false; // it had been deleted on the server and was put there anew
        QString cacheProblem;   // the card is on the server, but the cache could not take it
    };

    // cacheHome is the user's cache home ($XDG_CACHE_HOME), found by the caller.
    RemoteCardWriter(RemoteStoreOptions options, QString cacheHome);

    // knownEtag: the card's version as last written; empty for a card that must not exist yet.
    [[nodiscard]] Result<Written> write(const QString &folderHref, const QString &fileName,
                                        const QByteArray &card, const QString &knownEtag) const;

private:
    RemoteStoreOptions m_options;
    QString m_cacheHome;
};

} // namespace corvel
