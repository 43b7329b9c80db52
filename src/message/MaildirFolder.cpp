#include "message/MaildirFolder.h"

#include "message/MaildirName.h"
#include "support/FileSync.h"

#include <QFile>
#include <QFileInfo>

#include <QMutex>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
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

// The writer named in one of our file names ("...P<pid>Q..."): a leftover whose writer is gone
// was never filed, whatever its age. Unknown (0) keeps the file.
pid_t writerOf(const QString &fileName)
{
    const qsizetype p = fileName.indexOf(u'P');
    const qsizetype q = fileName.indexOf(u'Q', p + 1);
    if (p < 0 || q < 0)
        return 0;
    bool ok = false;
    const qint64 pid = QStringView(fileName).mid(p + 1, q - p - 1).toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(pid) : 0;
}

bool writerIsGone(const QString &fileName)
{
    const pid_t pid = writerOf(fileName);
    return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A file without a name is filed by linking it through /proc.
bool canLinkOpenFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Files without a name stay open until filed; beyond this many at once, staged messages are
// named files (closed at once) so that the process never runs out of descriptors. Half of the
// process's allowance is left to everything else: a batch being filed and the next one being
// made can hold a few thousand.
int mostOpenStaged()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 256;
    return static_cast<int>(std::clamp<rlim_t>(limit.rlim_cur / 2, 64, 4096));
}
std::atomic<int> openStaged{0};

// Delivery order, then the path for copies of one message. A folder is listed on every
// delivery pass, so each name's order key is made once rather than on every comparison.
void sortEntries(std::vector<MaildirFolder::Entry> &entries)
{
    // All keys in one buffer: a few allocations per listing, and compared keys lie close.
    std::string keys;
    keys.reserve(entries.size() * 64);
    std::vector<size_t> ends;
    ends.reserve(entries.size());
    for (const MaildirFolder::Entry &entry : entries) {
        if (!MaildirName::appendOrderKey(entry.unique, keys)) {
            std::sort(entries.begin(), entries.end(),
                      [](const MaildirFolder::Entry &a, const MaildirFolder::Entry &b) {
                          if (a.unique != b.unique)
                              return MaildirName::lessThan(a.unique, b.unique);
                          return a.path < b.path;
                      });
            return;
        }
        ends.push_back(keys.size());
    }
    struct Keyed
    {
        std::string_view key;
        size_t index;
    };
    std::vector<Keyed> order;
    order.reserve(entries.size());
    for (size_t i = 0, start = 0; i < entries.size(); start = ends[i], ++i)
        order.push_back({std::string_view(keys).substr(start, ends[i] - start), i});
    std::sort(order.begin(), order.end(), [&entries](const Keyed &a, const Keyed &b) {
        if (const int c = a.key.compare(b.key); c != 0)
            return c < 0;
        const MaildirFolder::Entry &first = entries[a.index];
        const MaildirFolder::Entry &second = entries[b.index];
        if (first.unique != second.unique)
            return first.unique < second.unique;
        return first.path < second.path;
    });
    std::vector<MaildirFolder::Entry> sorted;
    sorted.reserve(entries.size());
    for (const Keyed &keyed : order)
        sorted.push_back(std::move(entries[keyed.index]));
    entries = std::move(sorted);
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
    if (const int error = FileSync::syncDirectory(parent); error != 0)
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
    sortEntries(result);
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
        const QString name = QFile::decodeName(entry->d_name);
        if (!MaildirName::isOurs(name))
            continue;
        struct stat info
        {
        };
        // Not through a link, and only regular files: nothing else there is ours to remove.
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || (info.st_mtime >= staleBefore && !writerIsGone(name)))
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

Result<QString> MaildirFolder::writeTemporary(const QString &unique, const QByteArray &bytes,
                                              Sync sync) const
{
    removeStaleTemporariesOnce();
    const QString path = m_directory + u"/tmp/"_s + unique;
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result<QString>::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(errno)));
    int error = FileSync::writeAll(fd, bytes);
    if (error == 0 && sync == Sync::Now && ::fsync(fd) != 0)
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
        if (const int error = FileSync::syncDirectory(m_directory + u"/cur"_s); error != 0)
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
    if (const int error = FileSync::syncDirectory(QFileInfo(entry.path).absolutePath()); error != 0)
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

Result<MaildirFolder::Staged> MaildirFolder::stage(const QByteArray &bytes) const
{
    const QString unique = MaildirName::newUnique();
    const QString tmp = m_directory + u"/tmp"_s;
    int fd = -1;
    if (canLinkOpenFiles()) {
        if (openStaged.fetch_add(1) < mostOpenStaged())
            fd = ::open(encoded(tmp).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            openStaged.fetch_sub(1);
    }
    if (fd < 0) {
        // No files without a name here: a named one, which a later writer removes if this
        // process dies before filing it.
        Result<QString> path = writeTemporary(unique, bytes, Sync::Later);
        if (!path.ok())
            return Result<Staged>::failure(path.error());
        return Staged{unique, *path, -1};
    }
    if (const int error = FileSync::writeAll(fd, bytes); error != 0) {
        ::close(fd);
        openStaged.fetch_sub(1);
        return Result<Staged>::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(error)));
    }
    return Staged{unique, {}, fd};
}

Status MaildirFolder::syncStaged(const Staged &staged) const
{
    int error = 0;
    if (staged.fd >= 0) {
        if (::fdatasync(staged.fd) != 0)
            error = errno;
    } else {
        const int fd = ::open(encoded(staged.temporaryPath).constData(), O_WRONLY | O_CLOEXEC);
        error = fd < 0 ? errno : 0;
        if (fd >= 0) {
            if (::fdatasync(fd) != 0)
                error = errno;
            if (::close(fd) != 0 && error == 0)
                error = errno;
        }
    }
    if (error != 0)
        return Status::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(error)));
    return {};
}

Status MaildirFolder::syncFileSystem() const
{
    const int fd =
        ::open(encoded(m_directory + u"/tmp"_s).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    // Since Linux 5.8 a write-back error of any of its files is reported here.
    if (fd >= 0 && ::syncfs(fd) != 0)
        error = errno;
    if (fd >= 0)
        ::close(fd);
    if (error != 0)
        return Status::failure(
            u"The message cannot be written in %1: %2"_s.arg(m_directory, reason(error)));
    return {};
}

Result<MaildirFolder::Entry> MaildirFolder::file(Staged &staged, const QString &flags) const
{
    const QString unique = staged.unique;
    const QString fileName = MaildirName::withFlags(unique, flags);
    const QString target = m_directory + u"/cur/"_s + fileName;
    int result = 0;
    if (staged.fd >= 0) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(staged.fd);
        result = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, encoded(target).constData(),
                          AT_SYMLINK_FOLLOW);
    } else {
        result = ::link(encoded(staged.temporaryPath).constData(), encoded(target).constData());
    }
    const int error = result != 0 ? errno : 0;
    discard(staged);
    if (error != 0)
        return Result<Entry>::failure(
            u"The message cannot be filed in %1: %2"_s.arg(m_directory, reason(error)));
    return Entry{unique, fileName, target};
}

void MaildirFolder::discard(Staged &staged) const
{
    if (staged.fd >= 0) {
        ::close(staged.fd);
        openStaged.fetch_sub(1);
    } else if (!staged.temporaryPath.isEmpty()) {
        ::unlink(encoded(staged.temporaryPath).constData());
    }
    staged.fd = -1;
    staged.temporaryPath.clear();
}

Status MaildirFolder::sync() const
{
    for (const QString &part : {u"cur"_s, u"new"_s}) {
        if (const int error = FileSync::syncDirectory(m_directory + u'/' + part); error != 0)
            return Status::failure(
                u"The folder %1 cannot be synced: %2"_s.arg(m_directory, reason(error)));
    }
    return {};
}

} // namespace corvel
