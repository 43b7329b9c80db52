#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace corvel {

// One card of a folder on a server: where it lives there, its version, and its vCard text.
// `data` is empty for a card that is unchanged since the cache had it: the cache keeps it.
struct RemoteCard
{
    QString href;
    QString etag;
    QByteArray data;
};

// A folder of cards as a server lists it, or as the cache last saw it.
struct RemoteFolder
{
    QString href;        // what names the folder on the server; stable across syncs
    QString displayName; // the folder's caption
    QString syncToken;   // empty when the server offers none
    std::vector<RemoteCard> cards;

    // What the folder is called in the cache and in the window: its display name, else the
    // last part of its href.
    [[nodiscard]] QString caption() const
    {
        return displayName.isEmpty() ? href.section(u'/', -1, -1, QString::SectionSkipEmpty)
                                     : displayName;
    }
};

// Where a remote store's folders come from: one kind per URL scheme (see RemoteSources).
class RemoteFolderSource
{
public:
    virtual ~RemoteFolderSource() = default;

    // The store's folders as the server has them now, without their cards.
    [[nodiscard]] virtual Result<std::vector<RemoteFolder>> folders() = 0;

    // `folder` (from folders()) with every card it holds now. `cached` is what the cache
    // holds of it (no cards on a first sync): a card whose etag is the cached one may come
    // without data. A source that cannot ask for differences returns every card with data.
    [[nodiscard]] virtual Result<RemoteFolder> update(const RemoteFolder &folder,
                                                      const RemoteFolder &cached) = 0;
};

} // namespace corvel
