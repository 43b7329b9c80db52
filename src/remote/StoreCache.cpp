#include "remote/StoreCache.h"

#include "remote/CacheJournal.h"
#include "remote/PendingFiles.h"
#include "support/FileSystem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto RecordName = u".corvel-sync.json"_s;

// A file or folder name made from the last part of an href when it is plain, else from a
// hash of it; never one `taken` already.
QString nameFor(const QString &href, const QString &extension, QSet<QString> &taken)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9@+=_-][A-Za-z0-9.@+=_-]{0,100}$"_s);
    QString last = href.section(u'/', -1, -1, QString::SectionSkipEmpty);
    if (!extension.isEmpty() && last.endsWith(extension, Qt::CaseInsensitive))
        last.chop(extension.size());
    QString name = plain.match(last).hasMatch() ? last + extension : QString();
    if (name.isEmpty() || taken.contains(name.toLower()))
        name = QString::fromLatin1(
                   QCryptographicHash::hash(href.toUtf8(), QCryptographicHash::Sha1).toHex()) +
               extension;
    taken.insert(name.toLower());
    return name;
}

Status failed(const QString &what, const QString &path)
{
    return Status::failure(u"The cache cannot be %1 at %2: %3"_s.arg(
        what, path, QString::fromLocal8Bit(std::strerror(errno))));
}

// Held while a sync reads or changes the cache, so that the window's sync and corvelctl's
// never interleave; waited for, as nobody holds it across a request to a server.
class StoreLock
{
public:
    explicit StoreLock(const QString &directory)
        : m_fd(::open(QFile::encodeName(directory + u"/.corvel-sync.lock"_s).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~StoreLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;
    [[nodiscard]] bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

} // namespace

StoreCache::StoreCache(QString directory)
    : m_directory(std::move(directory))
{
}

Result<QHash<QString, StoreCache::Held>> StoreCache::held() const
{
    QHash<QString, Held> held;
    const QDir root(m_directory);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(root.filePath(name) + u'/' + RecordName);
        if (!file.exists())
            continue; // a folder of no sync: the next replace leaves it be
        if (!file.open(QIODevice::ReadOnly))
            return Result<QHash<QString, Held>>::failure(
                u"The cache cannot be read at %1: %2"_s.arg(file.fileName(), file.errorString()));
        const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
        Held folder{name,
                    record.value(u"displayName"_s).toString(),
                    record.value(u"syncToken"_s).toString(),
                    {}};
        const QJsonArray cards = record.value(u"cards"_s).toArray();
        folder.cards.reserve(cards.size());
        for (const QJsonValue card : cards) {
            const QJsonArray fields = card.toArray();
            folder.cards.insert(fields.at(0).toString(),
                                {fields.at(1).toString(), fields.at(2).toString()});
        }
        held.insert(record.value(u"href"_s).toString(), std::move(folder));
    }
    return held;
}

Result<std::vector<RemoteFolder>> StoreCache::read() const
{
    std::vector<RemoteFolder> folders;
    if (!QFileInfo(m_directory).isDir())
        return folders;
    const StoreLock lock(m_directory);
    if (!lock.held())
        return Result<std::vector<RemoteFolder>>::failure(failed(u"locked"_s, m_directory).error());
    if (Status settled = CacheJournal::settle(m_directory); !settled.ok())
        return Result<std::vector<RemoteFolder>>::failure(settled.error());
    const QDir root(m_directory);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(root.filePath(name) + u'/' + RecordName);
        if (!file.open(QIODevice::ReadOnly))
            continue; // a folder of no sync
        const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
        RemoteFolder folder{record.value(u"href"_s).toString(),
                            record.value(u"displayName"_s).toString(),
                            record.value(u"syncToken"_s).toString(),
                            {}};
        for (const QJsonValue card : record.value(u"cards"_s).toArray()) {
            const QJsonArray fields = card.toArray();
            folder.cards.push_back({fields.at(0).toString(), fields.at(1).toString(), {}});
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}

Status StoreCache::putCard(const QString &folderHref, const RemoteCard &card) const
{
    Result<std::vector<RemoteFolder>> folders = read();
    if (!folders.ok())
        return Status::failure(folders.error());
    const auto folder = std::find_if(folders->begin(), folders->end(),
                                     [&](const RemoteFolder &f) { return f.href == folderHref; });
    if (folder == folders->end())
        return Status::failure(
            u"The cache at %1 holds no folder %2."_s.arg(m_directory, folderHref));
    std::erase_if(folder->cards, [&](const RemoteCard &c) { return c.href == card.href; });
    folder->cards.push_back(card);
    return replace(*folders);
}

QString StoreCache::folderHrefAt(const QString &folderDirectory)
{
    QFile file(folderDirectory + u'/' + RecordName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(u"href"_s).toString();
}

Status StoreCache::planFolder(const RemoteFolder &folder, const Held &held, bool known,
                              CacheJournal &journal, PendingFiles &files) const
{
    // A new folder is written whole under a pending name and placed as one; a known one
    // gets pending files for what changed, each placed over its old file.
    const QString directory = known ? held.name : CacheJournal::pending(held.name);
    const auto put = [&](const QString &file, const QByteArray &data) {
        const QString path = directory + u'/' + file;
        if (!known)
            return files.write(path, data);
        journal.place(path);
        return files.write(CacheJournal::pending(path), data);
    };
    if (!known) {
        if (Status s = files.makeFolder(directory); !s.ok())
            return s;
        // Marked, so that an address book without cards still shows as a contact folder.
        if (Status s = put(u".folderclass"_s, "IPM.Contact\n"); !s.ok())
            return s;
    }
    if (!known || folder.displayName != held.displayName)
        if (Status s = put(u"displayname"_s, folder.caption().toUtf8() + '\n'); !s.ok())
            return s;
    QSet<QString> taken;
    for (const HeldCard &card : held.cards)
        taken.insert(card.file.toLower());
    QHash<QString, HeldCard> gone = held.cards;
    QJsonArray cards;
    bool changed =
        !known || folder.syncToken != held.syncToken || folder.displayName != held.displayName;
    for (const RemoteCard &card : folder.cards) {
        const auto was = held.cards.constFind(card.href);
        const QString file =
            was != held.cards.cend() ? was->file : nameFor(card.href, u".vcf"_s, taken);
        gone.remove(card.href);
        cards.append(QJsonArray{card.href, card.etag, file});
        if (was != held.cards.cend() && was->etag == card.etag)
            continue; // the file holds it already, whether or not it came again
        if (card.data.isEmpty())
            return Status::failure(
                u"The cache changed while %1 was synced: sync again."_s.arg(folder.caption()));
        if (Status s = put(file, card.data); !s.ok())
            return s;
        changed = true;
    }
    for (const HeldCard &card : gone)
        journal.remove(held.name + u'/' + card.file);
    if (!changed && gone.isEmpty())
        return {};
    const QJsonObject record{{u"href"_s, folder.href},
                             {u"displayName"_s, folder.displayName},
                             {u"syncToken"_s, folder.syncToken},
                             {u"cards"_s, cards}};
    if (Status s = put(RecordName, QJsonDocument(record).toJson(QJsonDocument::Compact)); !s.ok())
        return s;
    if (!known)
        journal.place(held.name);
    return {};
}

Status StoreCache::replace(const std::vector<RemoteFolder> &folders) const
{
    if (Status made = MakePrivateFolder(m_directory); !made.ok())
        return made;
    removeTemporaries();
    const StoreLock lock(m_directory);
    if (!lock.held())
        return failed(u"locked"_s, m_directory);
    if (Status settled = CacheJournal::settle(m_directory); !settled.ok())
        return settled;
    Result<QHash<QString, Held>> old = held();
    if (!old.ok())
        return Status::failure(old.error());
    QSet<QString> taken;
    for (const QString &name :
         QDir(m_directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        taken.insert(name.toLower());
    CacheJournal journal(m_directory);
    PendingFiles files(m_directory);
    for (const RemoteFolder &folder : folders) {
        const bool known = old->contains(folder.href);
        const Held held =
            known ? old->take(folder.href) : Held{nameFor(folder.href, {}, taken), {}, {}, {}};
        if (Status s = planFolder(folder, held, known, journal, files); !s.ok()) {
            (void)CacheJournal::settle(m_directory); // drops the pending files
            return s;
        }
    }
    for (const Held &gone : std::as_const(*old))
        journal.remove(gone.name);
    Status done = files.makeDurable();
    if (done.ok())
        done = journal.commit();
    if (!done.ok())
        (void)CacheJournal::settle(m_directory);
    return done;
}

void StoreCache::removeTemporaries() const
{
    const QFileInfo target(m_directory);
    const QString prefix = u"."_s + target.fileName() + u".sync-"_s;
    QDir root(target.path());
    for (const QString &name : root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString pid = name.mid(prefix.size());
        bool number = false;
        const int owner = pid.toInt(&number);
        // Another sync of the same store may be at work in its own.
        if (name.startsWith(prefix) && number && (owner == ::getpid() || ::kill(owner, 0) != 0))
            QDir(root.filePath(name)).removeRecursively();
    }
}

Status StoreCache::remove() const
{
    removeTemporaries();
    if (!QDir(m_directory).exists())
        return {};
    if (!QDir(m_directory).removeRecursively())
        return Status::failure(u"The cache at %1 cannot be removed whole."_s.arg(m_directory));
    return {};
}

} // namespace corvel
