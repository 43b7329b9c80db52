#pragma once

#include "remote/RemoteFolderSource.h"
#include "support/Result.h"

#include <QHash>
#include <QString>

#include <vector>

namespace corvel {

class CacheJournal;
class PendingFiles;

// A remote store's cache: one vCard folder per folder on the server (a `displayname` file
// captions it), each with a hidden record of the folder's href and sync token and each
// card's href, etag and file. The local session reads it as it reads any store.
class StoreCache
{
public:
    explicit StoreCache(QString directory);

    [[nodiscard]] const QString &directory() const { return m_directory; }

    // What the cache holds, cards without data; nothing when there is no cache yet. Finishes
    // first what a killed sync left (see CacheJournal).
    [[nodiscard]] Result<std::vector<RemoteFolder>> read() const;

    // Makes the cache hold `folders`, writing only what differs from what it holds: a
    // failure before the change is committed leaves the cache as it was, a crash after it
    // is finished by the next read() or replace(). A card without data must be in the
    // cache with the same etag.
    [[nodiscard]] Status replace(const std::vector<RemoteFolder> &folders) const;

    // One card put in, or in place of the card of its href, as a sync would (replace()).
    [[nodiscard]] Status putCard(const QString &folderHref, const RemoteCard &card) const;
    // The server's href of a folder of a cache, from its record; empty when it has none.
    [[nodiscard]] static QString folderHrefAt(const QString &folderDirectory);

    // Drops the cache and what a killed sync of an older version left beside it.
    [[nodiscard]] Status remove() const;

private:
    struct HeldCard
    {
        QString etag;
        QString file;
    };
    struct Held
    {
        QString name; // of its folder in the cache
        QString displayName;
        QString syncToken;
        QHash<QString, HeldCard> cards;
    };
    [[nodiscard]] Result<QHash<QString, Held>> held() const;
    [[nodiscard]] Status planFolder(const RemoteFolder &folder, const Held &held, bool known,
                                    CacheJournal &journal, PendingFiles &files) const;
    void removeTemporaries() const;

    QString m_directory;
};

} // namespace corvel
