#include "support/DataFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString failure(const QString &path, const QString &why)
{
    return u"cannot read %1: %2"_s.arg(path, why);
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString tooLarge(qint64 maxBytes)
{
    return maxBytes >= (qint64(1) << 20)
               ? u"it is larger than %1 MiB, the most such a file may hold"_s.arg(maxBytes >> 20)
               : u"it is larger than %1 bytes, the most such a file may hold"_s.arg(maxBytes);
}

// Closes the file on every way out, an exception from a reader's progress included.
class FileCloser
{
public:
    explicit FileCloser(int fd)
        : m_fd(fd)
    {
    }
    ~FileCloser() { ::close(m_fd); }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

private:
    int m_fd;
};

} // namespace

Result<QByteArray> DataFile::read(const QString &path, qint64 maxBytes,
                                  const std::function<void(qint64 done, qint64 size)> &onRead)
{
    using R = Result<QByteArray>;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a pipe put in the file's place cannot hang the read.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        struct stat st
        {
        };
        if (err == ENOENT && ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return R::failure(failure(path, u"it is a link to something that does not exist"_s));
        if (err == EISDIR)
            return R::failure(failure(path, u"it is a folder, not a file"_s));
        return R::failure(failure(path, errnoText(err)));
    }
    const FileCloser closer(fd);
    struct stat st
    {
    };
    QString why;
    if (::fstat(fd, &st) != 0)
        why = errnoText(errno);
    else if (S_ISDIR(st.st_mode))
        why = u"it is a folder, not a file"_s;
    else if (!S_ISREG(st.st_mode))
        why = u"it is not a regular file"_s;
    else if (st.st_size > maxBytes)
        why = tooLarge(maxBytes);
    QByteArray data;
    if (why.isEmpty()) {
        data.reserve(qsizetype(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                why = errnoText(errno);
                break;
            }
            if (n == 0)
                break;
            data.append(buffer, n);
            if (data.size() > maxBytes) {
                why = tooLarge(maxBytes);
                break;
            }
            if (onRead)
                onRead(data.size(), qint64(st.st_size));
        }
    }
    if (!why.isEmpty())
        return R::failure(failure(path, why));
    return data;
}

} // namespace corvel
