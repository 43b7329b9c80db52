#include "remote/PendingFiles.h"

#include "support/FileSync.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Past this many files one flush of the whole file system is cheaper than a sync of each.
constexpr qsizetype FewFiles = 64;

Status failed(const QString &what, const QString &path, int err)
{
    return Status::failure(u"The cache cannot be %1 at %2: %3"_s.arg(
        what, path, QString::fromLocal8Bit(std::strerror(err))));
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace

PendingFiles::PendingFiles(QString storeDirectory)
    : m_directory(std::move(storeDirectory))
{
}

Status PendingFiles::write(const QString &path, const QByteArray &data)
{
    const QString full = m_directory + u'/' + path;
    const int fd =
        ::open(QFile::encodeName(full).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return failed(u"written"_s, full, errno);
    int err = FileSync::writeAll(fd, data);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0)
        return failed(u"written"_s, full, err);
    m_written << full;
    m_folders.insert(folderOf(full));
    return {};
}

Status PendingFiles::makeFolder(const QString &path)
{
    const QString full = m_directory + u'/' + path;
    if (::mkdir(QFile::encodeName(full).constData(), 0700) != 0)
        return failed(u"made"_s, full, errno);
    m_folders.insert(folderOf(full));
    return {};
}

Status PendingFiles::makeDurable() const
{
    if (m_written.size() > FewFiles) {
        const int fd =
            ::open(QFile::encodeName(m_directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int err = fd < 0 ? errno : ::syncfs(fd) == 0 ? 0 : errno;
        if (fd >= 0)
            ::close(fd);
        return err == 0 ? Status() : failed(u"written"_s, m_directory, err);
    }
    for (const QString &path : m_written) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const int err = fd < 0 ? errno : ::fsync(fd) == 0 ? 0 : errno;
        if (fd >= 0)
            ::close(fd);
        if (err != 0)
            return failed(u"written"_s, path, err);
    }
    for (const QString &folder : m_folders) {
        if (const int err = FileSync::syncDirectory(folder); err != 0 && err != EINVAL)
            return failed(u"written"_s, folder, err);
    }
    return {};
}

} // namespace corvel
