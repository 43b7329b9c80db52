#include "support/AtomicFile.h"

#include "support/FileSync.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

Status reason(const QString &what, const QString &path, int err)
{
    // Callers pass errno by value before anything else can overwrite it.
    return Status::failure(
        u"%1 %2: %3"_s.arg(what, path, QString::fromLocal8Bit(std::strerror(err))));
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// Hidden and beside the target, so the final rename stays within one file system.
QByteArray tempPrefix(const QByteArray &path)
{
    return folderOf(path) + "/." + nameOf(path) + '.';
}

constexpr int TempSuffixLength = 6; // as mkostemp makes them

bool isSuffixChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

QByteArray randomSuffix()
{
    static constexpr char Chars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(TempSuffixLength, '\0');
    for (char &c : suffix)
        c = Chars[QRandomGenerator::global()->bounded(int(sizeof(Chars) - 1))];
    return suffix;
}

// No writer holds a temporary file open longer than one write of a data file takes, which
// is seconds; the writer's process id is not in the name, so age is what tells a file
// abandoned by a killed writer from one another process (the window, corvelctl) is still
// writing. Ten minutes leaves room for a slow disk or a stopped process.
constexpr time_t StaleAfterSeconds = 10 * 60;

// Makes the rename itself durable. File systems that cannot sync a folder say EINVAL.
Status syncFolder(const QByteArray &path)
{
    const QByteArray folder = folderOf(path);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        return reason(u"cannot open the folder"_s, QFile::decodeName(folder), err);
    }
    int err = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        err = errno;
    ::close(fd);
    return err ? reason(u"cannot sync the folder"_s, QFile::decodeName(folder), err) : Status();
}

// Closes on every path; the temporary file is removed unless it has been renamed.
class TempFile
{
public:
    explicit TempFile(const QByteArray &target)
        : m_name(tempPrefix(target) + "XXXXXX")
    {
        m_fd = ::mkostemp(m_name.data(), O_CLOEXEC);
        if (m_fd < 0)
            m_err = errno;
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_fd >= 0 || m_closed)
            ::unlink(m_name.constData());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] int error() const { return m_err; }
    [[nodiscard]] const QByteArray &name() const { return m_name; }
    // close() can report a deferred write error (NFS, full disk), so it is checked.
    [[nodiscard]] bool close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        m_closed = true;
        return rc == 0;
    }
    void released() { m_closed = false; }

private:
    QByteArray m_name;
    int m_fd = -1;
    int m_err = 0;
    bool m_closed = false;
};

} // namespace

Status AtomicFile::write(const QString &path, const QByteArray &contents, int mode,
                         const std::function<void()> &beforeReplace)
{
    const QByteArray target = QFile::encodeName(path);
    if (target.isEmpty())
        return Status::failure(u"cannot write a file without a name"_s);

    struct stat st
    {
    };
    bool exists = false;
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return reason(u"cannot replace"_s, path, EISDIR);
        exists = true;
    }

    removeStaleTemporaries(path);
    TempFile tmp(target);
    if (tmp.fd() < 0)
        return reason(u"cannot create a temporary file beside"_s, path, tmp.error());
    const auto failed = [&tmp](const QString &what) {
        const int err = errno;
        return reason(what, QFile::decodeName(tmp.name()), err);
    };
    if (const int err = FileSync::writeAll(tmp.fd(), contents); err != 0) {
        errno = err;
        return failed(u"cannot write"_s);
    }
    const mode_t wanted = exists ? (st.st_mode & 07777) : mode_t(mode & 07777);
    if (::fchmod(tmp.fd(), wanted) != 0)
        return failed(u"cannot set the permissions of"_s);
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keep a file edited on someone's behalf theirs; without the right it stays ours.
        [[maybe_unused]] const int rc = ::fchown(tmp.fd(), st.st_uid, st.st_gid);
    }
    if (::fsync(tmp.fd()) != 0)
        return failed(u"cannot sync"_s);
    if (!tmp.close())
        return failed(u"cannot close"_s);
    if (beforeReplace)
        beforeReplace();
    if (::rename(tmp.name().constData(), target.constData()) != 0) {
        const int err = errno;
        return reason(u"cannot replace"_s, path, err);
    }
    tmp.released();
    return syncFolder(target);
}

Status AtomicFile::keepBackup(const QString &path, const QString &backupPath)
{
    const QByteArray source = QFile::encodeName(path);
    const QByteArray backup = QFile::encodeName(backupPath);
    struct stat st
    {
    };
    if (::stat(source.constData(), &st) != 0) {
        const int err = errno;
        return reason(u"cannot keep a copy of"_s, path, err);
    }
    if (!S_ISREG(st.st_mode))
        return reason(u"cannot keep a copy of"_s, path, EINVAL);

    int linkErr = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray tmp = tempPrefix(backup) + randomSuffix();
        if (::link(source.constData(), tmp.constData()) != 0) {
            linkErr = errno;
            if (linkErr == EEXIST)
                continue;
            break;
        }
        if (::rename(tmp.constData(), backup.constData()) != 0) {
            const int err = errno;
            ::unlink(tmp.constData());
            return reason(u"cannot place the copy"_s, backupPath, err);
        }
        return syncFolder(backup);
    }
    if (linkErr == ENOENT)
        return reason(u"cannot keep a copy of"_s, path, linkErr);

    // No hard links here (another file system, FAT, a policy): copy instead.
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(u"cannot read %1: %2"_s.arg(path, in.errorString()));
    const QByteArray data = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return Status::failure(u"cannot read %1: %2"_s.arg(path, in.errorString()));
    return write(backupPath, data, int(st.st_mode & 07777));
}

int AtomicFile::removeStaleTemporaries(const QString &path)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = folderOf(target);
    const QByteArray prefix = "." + nameOf(target) + '.';
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.size() != prefix.size() + TempSuffixLength || !name.startsWith(prefix))
            continue;
        const QByteArray suffix = name.mid(prefix.size());
        if (!std::all_of(suffix.cbegin(), suffix.cend(), isSuffixChar))
            continue;
        const QByteArray full = folder + '/' + name;
        struct stat st
        {
        };
        // Only our own regular files; never follow a link someone placed under such a name.
        if (::lstat(full.constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime < StaleAfterSeconds)
            continue;
        if (::unlink(full.constData()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace corvel
