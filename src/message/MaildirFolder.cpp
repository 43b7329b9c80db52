#include "message/MaildirFolder.h"

#include "message/MaildirName.h"

#include <QFile>
#include <QFileInfo>

#include <QMutex>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString reason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

int syncDirectory(const QString &directory)
{
    const int fd = ::open(encoded(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

} // namespace

MaildirFolder::MaildirFolder(QString directory)
    : m_directory(std::move(directory))
{
}

bool MaildirFolder::exists() const
{
    return QFileInfo(m_directory + u"/cur"_s).isDir() &&
           QFileInfo(m_directory + u"/new"_s).isDir() && QFileInfo(m_directory + u"/tmp"_s).isDir();
}

Status MaildirFolder::create(const QString &directory)
{
    for (const QString &path :
         {directory, directory + u"/cur"_s, directory + u"/new"_s, directory + u"/tmp"_s}) {
        if (::mkdir(encoded(path).constData(), 0700) != 0 && errno != EEXIST)
            return Status::failure(u"The folder %1 cannot be made: %2"_s.arg(path, reason(errno)));
    }
    const QString parent = QFileInfo(directory).absolutePath();
    if (const int error = syncDirectory(parent); error != 0)
        return Status::failure(u"The folder %1 cannot be synced: %2"_s.arg(parent, reason(error)));
    return {};
}

Result<std::vector<MaildirFolder::Entry>> MaildirFolder::entries() const
{
    std::vector<Entry> result;
    for (const QString &part : {u"cur"_s, u"new"_s}) {
        const QString sub = m_directory + u'/' + part;
        DIR *dir = ::opendir(encoded(sub).constData());
        if (!dir)
            return Result<std::vector<Entry>>::failure(
                u"The folder %1 cannot be read: %2"_s.arg(sub, reason(errno)));
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
                continue;
            const QString name = QFile::decodeName(entry->d_name);
            result.push_back({MaildirName::uniqueOf(name), name, sub + u'/' + name});
        }
        ::closedir(dir);
    }
    std::sort(result.begin(), result.end(), [](const Entry &a, const Entry &b) {
        if (a.unique != b.unique)
            return MaildirName::lessThan(a.unique, b.unique);
        return a.path < b.path;
    });
    return result;
}

std::optional<MaildirFolder::Entry> MaildirFolder::find(const QString &unique) const
{
    Result<std::vector<Entry>> all = entries();
    if (!all.ok())
        return std::nullopt;
    for (Entry &entry : *all) {
        if (entry.unique == unique)
            return std::move(entry);
    }
    return std::nullopt;
}

Result<int> MaildirFolder::removeStaleTemporaries() const
{
    const QString tmp = m_directory + u"/tmp"_s;
    const int dirFd = ::open(encoded(tmp).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return Result<int>::failure(u"The folder %1 cannot be read: %2"_s.arg(tmp, reason(errno)));
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        const int error = errno;
        ::close(dirFd);
        return Result<int>::failure(u"The folder %1 cannot be read: %2"_s.arg(tmp, reason(error)));
    }
    const time_t staleBefore = ::time(nullptr) - StaleTemporarySeconds;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (!MaildirName::isOurs(QFile::decodeName(entry->d_name)))
            continue;
        struct stat info
        {
        };
        // Not through a link, and only regular files: nothing else there is ours to remove.
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_mtime >= staleBefore)
            continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

void MaildirFolder::removeStaleTemporariesOnce() const
{
    static QMutex mutex;
    static QSet<QString> swept;
    {
        const QMutexLocker lock(&mutex);
        if (swept.contains(m_directory))
            return;
        swept.insert(m_directory);
    }
    // Leftovers only cost space: a folder that cannot be swept is still written to.
    (void)removeStaleTemporaries();
}

Result<QString> MaildirFolder::writeTemporary(const QString &unique, const QByteArray &bytes) const
{
    removeStaleTemporariesOnce();
    const QString path = m_directory + u"/tmp/"_s + unique;
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result<QString>::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(errno)));
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        data += n;
        left -= n;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(encoded(path).constData());
        return Result<QString>::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(error)));
    }
    return path;
}

Result<MaildirFolder::Entry> MaildirFolder::add(const QByteArray &bytes, const QString &flags,
                                                Sync sync) const
{
    const QString unique = MaildirName::newUnique();
    Result<QString> temporary = writeTemporary(unique, bytes);
    if (!temporary.ok())
        return Result<Entry>::failure(temporary.error());
    const QString fileName = MaildirName::withFlags(unique, flags);
    const QString target = m_directory + u"/cur/"_s + fileName;
    // link() refuses an existing name where rename() would replace it.
    if (::link(encoded(*temporary).constData(), encoded(target).constData()) != 0) {
        const int error = errno;
        ::unlink(encoded(*temporary).constData());
        return Result<Entry>::failure(
            u"The message cannot be filed in %1: %2"_s.arg(m_directory, reason(error)));
    }
    ::unlink(encoded(*temporary).constData());
    if (sync == Sync::Now) {
        if (const int error = syncDirectory(m_directory + u"/cur"_s); error != 0)
            return Result<Entry>::failure(
                u"The folder %1 cannot be synced: %2"_s.arg(m_directory, reason(error)));
    }
    return Entry{unique, fileName, target};
}

Status MaildirFolder::replace(const Entry &entry, const QByteArray &bytes) const
{
    Result<QString> temporary = writeTemporary(MaildirName::newUnique(), bytes);
    if (!temporary.ok())
        return Status::failure(temporary.error());
    if (::rename(encoded(*temporary).constData(), encoded(entry.path).constData()) != 0) {
        const int error = errno;
        ::unlink(encoded(*temporary).constData());
        return Status::failure(u"The message cannot be saved: %1"_s.arg(reason(error)));
    }
    if (const int error = syncDirectory(QFileInfo(entry.path).absolutePath()); error != 0)
        return Status::failure(
            u"The folder %1 cannot be synced: %2"_s.arg(m_directory, reason(error)));
    return {};
}

Result<MaildirFolder::Entry> MaildirFolder::moveTo(const Entry &entry, const MaildirFolder &target,
                                                   const QString &flags, Sync sync) const
{
    const QString fileName = MaildirName::withFlags(entry.unique, flags);
    const QString path = target.directory() + u"/cur/"_s + fileName;
    if (::rename(encoded(entry.path).constData(), encoded(path).constData()) != 0) {
        const int error = errno;
        if (error != EXDEV)
            return Result<Entry>::failure(
                u"The message %1 cannot be moved: %2"_s.arg(entry.unique, reason(error)));
        // Another file system: a durable copy first, then the original goes.
        QFile source(entry.path);
        if (!source.open(QIODevice::ReadOnly))
            return Result<Entry>::failure(source.errorString());
        Result<Entry> copied = target.add(source.readAll(), flags, Sync::Now);
        if (!copied.ok())
            return copied;
        if (Status removed = remove(entry); !removed.ok())
            return Result<Entry>::failure(removed.error());
        return copied;
    }
    if (sync == Sync::Now) {
        if (Status synced = target.sync(); !synced.ok())
            return Result<Entry>::failure(synced.error());
        if (Status synced = this->sync(); !synced.ok())
            return Result<Entry>::failure(synced.error());
    }
    return Entry{entry.unique, fileName, path};
}

Status MaildirFolder::remove(const Entry &entry) const
{
    if (::unlink(encoded(entry.path).constData()) != 0 && errno != ENOENT)
        return Status::failure(
            u"The message %1 cannot be removed: %2"_s.arg(entry.unique, reason(errno)));
    return sync();
}

Status MaildirFolder::sync() const
{
    for (const QString &part : {u"cur"_s, u"new"_s}) {
        if (const int error = syncDirectory(m_directory + u'/' + part); error != 0)
            return Status::failure(
                u"The folder %1 cannot be synced: %2"_s.arg(m_directory, reason(error)));
    }
    return {};
}

} // namespace corvel
