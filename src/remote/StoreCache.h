#pragma once

#include "remote/RemoteFolderSource.h"
#include "support/Result.h"

#include <QHash>
#include <QString>

#include <vector>

namespace corvel {

// A remote store's cache: one vCard folder per folder on the server (a `displayname` file
// captions it), each with a hidden record of the folder's href and sync token and each
// card's href, etag and file. The local session reads it as it reads any store.
class StoreCache
{
public:
    explicit StoreCache(QString directory);

    [[nodiscard]] const QString &directory() const { return m_directory; }

    // What the cache holds, cards without data; nothing when there is no cache yet.
    [[nodiscard]] Result<std::vector<RemoteFolder>> read() const;

    // Puts `folders` in the cache's place at once: a reader, or a crash, sees the old cache
    // or the new one whole. A card without data is taken from the cache as it is.
    [[nodiscard]] Status replace(const std::vector<RemoteFolder> &folders) const;

    // One card put in, or in place of the card of its href, as a sync would (replace()).
    [[nodiscard]] Status putCard(const QString &folderHref, const RemoteCard &card) const;
    // The server's href of a folder of a cache, from its record; empty when it has none.
    [[nodiscard]] static QString folderHrefAt(const QString &folderDirectory);

    // Drops the cache and what a killed replace() left beside it.
    [[nodiscard]] Status remove() const;

private:
    struct Held
    {
        QString folderDirectory;
        QHash<QString, QString> fileByHref;
    };
    [[nodiscard]] Result<QHash<QString, Held>> held() const;
    [[nodiscard]] Status writeFolder(const QString &directory, const RemoteFolder &folder,
                                     const Held *old) const;
    void removeTemporaries() const;

    QString m_directory;
};

} // namespace corvel
