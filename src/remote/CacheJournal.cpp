#include "remote/CacheJournal.h"

#include "support/AtomicFile.h"
#include "support/FileSync.h"
#include "support/FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto JournalName = u".corvel-sync.journal"_s;
const auto PendingPrefix = u".corvel-new."_s;

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QString withParent(const QString &path, const QString &name)
{
    const QString parent = parentOf(path);
    return parent.isEmpty() ? name : parent + u'/' + name;
}

Status failed(const QString &what, const QString &path, int err)
{
    return Status::failure(u"The cache cannot be %1 at %2: %3"_s.arg(
        what, path, QString::fromLocal8Bit(std::strerror(err))));
}

} // namespace

CacheJournal::CacheJournal(QString storeDirectory)
    : m_directory(std::move(storeDirectory))
{
}

QString CacheJournal::pending(const QString &name)
{
    return withParent(name, PendingPrefix + name.section(u'/', -1));
}

Status CacheJournal::commit() const
{
    if (isEmpty())
        return {};
    const QJsonObject journal{{u"place"_s, QJsonArray::fromStringList(m_places)},
                              {u"remove"_s, QJsonArray::fromStringList(m_removes)}};
    if (Status written =
            AtomicFile::write(m_directory + u'/' + JournalName,
                              QJsonDocument(journal).toJson(QJsonDocument::Compact), 0600);
        !written.ok())
        return Status::failure(u"The cache cannot be written: "_s + written.error());
    return carryOut(m_directory, m_places, m_removes);
}

Status CacheJournal::carryOut(const QString &storeDirectory, const QStringList &places,
                              const QStringList &removes)
{
    QSet<QString> touched{QString()};
    const QString root = storeDirectory + u'/';
    for (const QString &path : places) {
        const QByteArray from = QFile::encodeName(root + pending(path));
        // Gone when an earlier run of this journal placed it already.
        if (::rename(from.constData(), QFile::encodeName(root + path).constData()) != 0 &&
            errno != ENOENT)
            return failed(u"placed"_s, root + path, errno);
        touched.insert(parentOf(path));
    }
    for (const QString &path : removes) {
        const QFileInfo entry(root + path);
        if (entry.isDir() ? !QDir(entry.filePath()).removeRecursively()
                          : entry.exists() && !QFile::remove(entry.filePath()))
            return failed(u"cleared"_s, entry.filePath(), EIO);
        touched.insert(parentOf(path));
    }
    for (const QString &folder : touched) {
        if (const int err = FileSync::syncDirectory(root + folder); err != 0 && err != ENOENT)
            return failed(u"written"_s, root + folder, err);
    }
    if (!QFile::remove(root + JournalName))
        return failed(u"finished"_s, root + JournalName, errno);
    return {};
}

Status CacheJournal::settle(const QString &storeDirectory)
{
    QFile file(storeDirectory + u'/' + JournalName);
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject journal = QJsonDocument::fromJson(file.readAll()).object();
        QStringList places;
        QStringList removes;
        for (const QJsonValue path : journal.value(u"place"_s).toArray())
            places << path.toString();
        for (const QJsonValue path : journal.value(u"remove"_s).toArray())
            removes << path.toString();
        if (Status done = carryOut(storeDirectory, places, removes); !done.ok())
            return done;
    }
    // Pending files of a sync killed before its journal was written: it never happened.
    QStringList stale;
    for (QDirIterator it(storeDirectory, {PendingPrefix + u'*'},
                         QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        stale << it.next();
    for (const QString &path : stale) {
        if (!EntryExists(path))
            continue; // inside a pending folder removed already
        if (QFileInfo(path).isDir() ? !QDir(path).removeRecursively() : !QFile::remove(path))
            return failed(u"cleared"_s, path, EIO);
    }
    return {};
}

} // namespace corvel
