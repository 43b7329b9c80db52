#include "remote/StoreCache.h"

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

Status writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(data) != data.size() ||
        !file.flush())
        return Status::failure(
            u"The cache cannot be written at %1: %2"_s.arg(path, file.errorString()));
    return {};
}

Status failed(const QString &what, const QString &path)
{
    return Status::failure(u"The cache cannot be %1 at %2: %3"_s.arg(
        what, path, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

StoreCache::StoreCache(QString directory)
    : m_directory(std::move(directory))
{
}

Result<QHash<QString, StoreCache::Held>> StoreCache::held() const
{
    QHash<QString, Held> held;
    const QDir root(m_directory);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(root.filePath(name) + u'/' + RecordName);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return Result<QHash<QString, Held>>::failure(
                u"The cache cannot be read at %1: %2"_s.arg(file.fileName(), file.errorString()));
        const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
        Held folder{root.filePath(name), {}};
        for (const QJsonValue card : record.value(u"cards"_s).toArray()) {
            const QJsonArray fields = card.toArray();
            folder.fileByHref.insert(fields.at(0).toString(), fields.at(2).toString());
        }
        held.insert(record.value(u"href"_s).toString(), std::move(folder));
    }
    return held;
}

Result<std::vector<RemoteFolder>> StoreCache::read() const
{
    std::vector<RemoteFolder> folders;
    const QDir root(m_directory);
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(root.filePath(name) + u'/' + RecordName);
        if (!file.open(QIODevice::ReadOnly))
            continue; // a folder of no sync: the next replace drops it
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

Status StoreCache::writeFolder(const QString &directory, const RemoteFolder &folder,
                               const Held *old) const
{
    if (!QDir().mkdir(directory))
        return failed(u"made"_s, directory);
    const QString caption = folder.displayName.isEmpty()
                                ? folder.href.section(u'/', -1, -1, QString::SectionSkipEmpty)
                                : folder.displayName;
    if (Status s = writeFile(directory + u"/displayname"_s, caption.toUtf8() + '\n'); !s.ok())
        return s;
    // Marked, so that an address book without cards still shows as a contact folder.
    if (Status s = writeFile(directory + u"/.folderclass"_s, "IPM.Contact\n"); !s.ok())
        return s;
    QSet<QString> taken;
    QJsonArray cards;
    for (const RemoteCard &card : folder.cards) {
        const QString file = nameFor(card.href, u".vcf"_s, taken);
        const QString path = directory + u'/' + file;
        if (!card.data.isEmpty()) {
            if (Status s = writeFile(path, card.data); !s.ok())
                return s;
        } else {
            // Unchanged: the cached file is linked, not copied.
            const QString from = old ? old->fileByHref.value(card.href) : QString();
            if (from.isEmpty() ||
                ::link(QFile::encodeName(old->folderDirectory + u'/' + from).constData(),
                       QFile::encodeName(path).constData()) != 0)
                return failed(u"kept"_s, path);
        }
        cards.append(QJsonArray{card.href, card.etag, file});
    }
    const QJsonObject record{{u"href"_s, folder.href},
                             {u"displayName"_s, folder.displayName},
                             {u"syncToken"_s, folder.syncToken},
                             {u"cards"_s, cards}};
    return writeFile(directory + u'/' + RecordName,
                     QJsonDocument(record).toJson(QJsonDocument::Compact));
}

Status StoreCache::replace(const std::vector<RemoteFolder> &folders) const
{
    const QFileInfo target(m_directory);
    if (Status made = MakePrivateFolder(target.path()); !made.ok())
        return made;
    removeTemporaries();
    const Result<QHash<QString, Held>> old = held();
    if (!old.ok())
        return Status::failure(old.error());
    const QString staging =
        target.path() + u"/."_s + target.fileName() + u".sync-"_s + QString::number(::getpid());
    QDir(staging).removeRecursively();
    const auto fail = [&](Status why) {
        QDir(staging).removeRecursively();
        return why;
    };
    if (Status made = MakePrivateFolder(staging); !made.ok())
        return fail(made);
    QSet<QString> taken;
    for (const RemoteFolder &folder : folders) {
        const auto held = old->constFind(folder.href);
        const QString directory = staging + u'/' + nameFor(folder.href, {}, taken);
        if (Status s = writeFolder(directory, folder, held == old->cend() ? nullptr : &*held);
            !s.ok())
            return fail(s);
    }
    // One flush of the file system for the whole cache: a card at a time would cost minutes.
    const int fd = ::open(QFile::encodeName(staging).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || ::syncfs(fd) != 0) {
        if (fd >= 0)
            ::close(fd);
        return fail(failed(u"written"_s, staging));
    }
    ::close(fd);
    const QByteArray from = QFile::encodeName(staging);
    const QByteArray to = QFile::encodeName(m_directory);
    if (target.exists()) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0)
            return fail(failed(u"replaced"_s, m_directory));
    } else if (::rename(from.constData(), to.constData()) != 0) {
        return fail(failed(u"placed"_s, m_directory));
    }
    QDir(staging).removeRecursively(); // the old cache, now
    return {};
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
