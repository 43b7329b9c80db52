#include "remote/StoreSync.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Whether an unfolded line of the card is its UID.
bool hasUid(const QByteArray &card)
{
    for (qsizetype at = 0; at < card.size();) {
        qsizetype end = card.indexOf('\n', at);
        if (end < 0)
            end = card.size();
        const QByteArray line = card.mid(at, std::min<qsizetype>(end - at, 4)).toUpper();
        if (line.startsWith("UID:") || line.startsWith("UID;"))
            return true;
        at = end + 1;
    }
    return false;
}

} // namespace

QString FolderSyncCount::line() const
{
    return u"%1: %2 contacts (+%3 ~%4 -%5)"_s.arg(folder).arg(contacts).arg(added).arg(changed).arg(
        removed);
}

StoreSync::StoreSync(RemoteFolderSource &source, const StoreCache &cache)
    : m_source(source)
    , m_cache(cache)
{
}

Status StoreSync::checkCards(const RemoteFolder &folder, const RemoteFolder &cached)
{
    QHash<QString, QString> before;
    for (const RemoteCard &card : cached.cards)
        before.insert(card.href, card.etag);
    QSet<QString> seen;
    const auto refuse = [&](const QString &href, const QString &why) {
        return Status::failure(
            u"The server's answer is not understood: the card %1 %2."_s.arg(href, why));
    };
    for (const RemoteCard &card : folder.cards) {
        if (seen.contains(card.href))
            return refuse(card.href, u"is named twice"_s);
        seen.insert(card.href);
        if (card.data.isEmpty()) {
            if (!before.contains(card.href))
                return refuse(card.href, u"came without its data"_s);
        } else if (!card.data.trimmed().toUpper().startsWith("BEGIN:VCARD")) {
            return refuse(card.href, u"is no vCard"_s);
        } else if (!hasUid(card.data)) {
            return refuse(card.href, u"has no UID"_s);
        }
    }
    return {};
}

FolderSyncCount StoreSync::count(const RemoteFolder &folder, const RemoteFolder &cached)
{
    QHash<QString, QString> before;
    for (const RemoteCard &card : cached.cards)
        before.insert(card.href, card.etag);
    FolderSyncCount count{folder.caption(), int(folder.cards.size()), 0, 0, 0};
    for (const RemoteCard &card : folder.cards) {
        const auto was = before.constFind(card.href);
        if (was == before.cend())
            ++count.added;
        else if (*was != card.etag)
            ++count.changed;
        before.remove(card.href);
    }
    count.removed = int(before.size());
    return count;
}

Result<std::vector<FolderSyncCount>>
StoreSync::run(const std::function<void(const QString &)> &progress)
{
    using Counts = Result<std::vector<FolderSyncCount>>;
    const auto say = [&](const QString &what) {
        if (progress)
            progress(what);
    };
    const Result<std::vector<RemoteFolder>> cached = m_cache.read();
    if (!cached.ok())
        return Counts::failure(cached.error());
    say(u"Asking for the folders"_s);
    const Result<std::vector<RemoteFolder>> listed = m_source.folders();
    if (!listed.ok())
        return Counts::failure(listed.error());

    std::vector<RemoteFolder> current;
    std::vector<FolderSyncCount> counts;
    bool changed = listed->size() != cached->size();
    for (const RemoteFolder &folder : *listed) {
        say(u"Bringing %1 up to date"_s.arg(folder.displayName));
        RemoteFolder before{folder.href, {}, {}, {}};
        bool known = false;
        for (const RemoteFolder &held : *cached) {
            if (held.href == folder.href) {
                before = held;
                known = true;
            }
        }
        Result<RemoteFolder> now = m_source.update(folder, before);
        if (!now.ok())
            return Counts::failure(now.error());
        if (Status checked = checkCards(*now, before); !checked.ok())
            return Counts::failure(checked.error());
        counts.push_back(count(*now, before));
        const FolderSyncCount &last = counts.back();
        changed |= last.added + last.changed + last.removed > 0 ||
                   now->displayName != before.displayName || now->syncToken != before.syncToken ||
                   !known;
        current.push_back(std::move(*now));
    }
    if (changed) {
        say(u"Writing the cache"_s);
        if (Status written = m_cache.replace(current); !written.ok())
            return Counts::failure(written.error());
    }
    return counts;
}

} // namespace corvel
