#include "message/OutboxSchedule.h"

#include "support/AtomicFile.h"
#include "support/FileSync.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr QByteArrayView Header = "#corvel-schedule 1";

// The file open and locked, the very file its name names: a rewrite replaces the file, so a
// writer that waited on the old one opens the new one.
class LockedFile
{
public:
    LockedFile(const QString &path, int flags)
    {
        const QByteArray name = QFile::encodeName(path);
        for (int tries = 0; tries < 100; ++tries) {
            m_fd = ::open(name.constData(), flags | O_CLOEXEC, 0600);
            if (m_fd < 0)
                break;
            struct stat held
            {
            }, named{};
            if (::flock(m_fd, LOCK_EX) == 0 && ::fstat(m_fd, &held) == 0 &&
                ::stat(name.constData(), &named) == 0 && held.st_ino == named.st_ino &&
                held.st_dev == named.st_dev)
                return;
            ::close(m_fd);
            m_fd = -1;
        }
        m_error = errno;
    }
    ~LockedFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

Result<QHash<QString, qint64>> parse(const QByteArray &bytes, const QString &path)
{
    using R = Result<QHash<QString, qint64>>;
    QHash<QString, qint64> times;
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() == 1 && Header.startsWith(lines.front()))
        return times; // made, its first line never wholly written
    if (lines.front() != Header)
        return R::failure(u"The schedule of the Outbox %1 cannot be read: its first line is "
                          "not \"%2\"."_s.arg(path, QString::fromLatin1(Header)));
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) { // the last is cut short, or empty
        const QByteArray &line = lines[i];
        const qsizetype space = line.lastIndexOf(' ');
        bool ok = space > 0;
        const qint64 at = ok ? line.mid(space + 1).toLongLong(&ok) : 0;
        if (!ok)
            return R::failure(u"The schedule of the Outbox %1 cannot be read: line %2 is not "
                              "a message and a time."_s.arg(path)
                                  .arg(i + 1));
        times.insert(QString::fromUtf8(line.left(space)), at);
    }
    return times;
}

// A last line cut short by a crash (its messages were never filed) would run into the next
// one: it goes before anything is appended. `status` is brought up to date.
int cutShortLineRemoved(int fd, struct stat &status)
{
    char last = '\n';
    if (status.st_size == 0 || ::pread(fd, &last, 1, status.st_size - 1) != 1 || last == '\n')
        return 0;
    QByteArray bytes(qsizetype(status.st_size), '\0');
    if (::pread(fd, bytes.data(), size_t(bytes.size()), 0) != bytes.size())
        return errno == 0 ? EIO : errno;
    status.st_size = off_t(bytes.lastIndexOf('\n') + 1);
    return ::ftruncate(fd, status.st_size) == 0 ? 0 : errno;
}

QByteArray serialized(const QHash<QString, qint64> &times)
{
    QByteArray bytes = Header.toByteArray() + '\n';
    for (auto it = times.cbegin(); it != times.cend(); ++it)
        bytes += it.key().toUtf8() + ' ' + QByteArray::number(it.value()) + '\n';
    return bytes;
}

} // namespace

OutboxSchedule::OutboxSchedule(QString outboxDirectory)
    : m_directory(std::move(outboxDirectory))
{
}

QString OutboxSchedule::fileName()
{
    return u"corvel-outbox.schedule"_s;
}

QString OutboxSchedule::path() const
{
    return m_directory + u'/' + fileName();
}

Status OutboxSchedule::add(const QStringList &uniques, qint64 notBeforeMs) const
{
    const auto failed = [this](int error) {
        return Status::failure(u"The schedule of the Outbox %1 cannot be written: %2"_s.arg(
            path(), qt_error_string(error)));
    };
    const LockedFile file(path(), O_RDWR | O_APPEND | O_CREAT);
    if (file.fd() < 0)
        return failed(file.error());
    struct stat status
    {
    };
    if (::fstat(file.fd(), &status) != 0)
        return failed(errno);
    if (const int error = cutShortLineRemoved(file.fd(), status); error != 0)
        return failed(error);
    QByteArray lines = status.st_size == 0 ? Header.toByteArray() + '\n' : QByteArray();
    for (const QString &unique : uniques)
        lines += unique.toUtf8() + ' ' + QByteArray::number(notBeforeMs) + '\n';
    if (const int error = FileSync::writeAll(file.fd(), lines); error != 0)
        return failed(error);
    if (::fdatasync(file.fd()) != 0)
        return failed(errno);
    if (status.st_size == 0)
        if (const int error = FileSync::syncDirectory(m_directory); error != 0)
            return failed(error);
    return {};
}

Result<QHash<QString, qint64>> OutboxSchedule::read() const
{
    QFile file(path());
    if (!file.exists())
        return QHash<QString, qint64>();
    if (!file.open(QIODevice::ReadOnly))
        return Result<QHash<QString, qint64>>::failure(
            u"The schedule of the Outbox %1 cannot be read: %2"_s.arg(path(), file.errorString()));
    return parse(file.readAll(), path());
}

Status OutboxSchedule::dropPast(qint64 nowMs) const
{
    if (!QFile::exists(path()))
        return {};
    const LockedFile file(path(), O_RDONLY);
    QFile locked;
    if (file.fd() < 0 || !locked.open(file.fd(), QIODevice::ReadOnly))
        return Status::failure(u"The schedule of the Outbox %1 cannot be read: %2"_s.arg(
            path(), qt_error_string(file.error())));
    Result<QHash<QString, qint64>> times = parse(locked.readAll(), path());
    if (!times.ok())
        return Status::failure(times.error());
    const qsizetype before = times->size();
    times->removeIf([nowMs](const auto &entry) { return entry.value() <= nowMs; });
    if (times->size() == before)
        return {};
    return AtomicFile::write(path(), serialized(*times), 0600);
}

} // namespace corvel
