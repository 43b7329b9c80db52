#include "support/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

bool FileExists(const QString &path)
{
    if (path.isEmpty() || path.contains(u'*') || path.contains(u'?'))
        return false;
    // Non-blocking so that a FIFO cannot hang the check; fstat then rejects it.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

bool EntryExists(const QString &path)
{
    struct stat st
    {
    };
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString DataFolderUnder(const QString &dataHome)
{
    return QDir::cleanPath(dataHome + u"/Tessary/Corvel"_s);
}

QString AppPath(const QString &executableDir, const QString &userDataFolder)
{
    // A group file beside the program is a portable install's data, even when it cannot be
    // read now: it must be refused there with its reason, not replaced by another folder's.
    const QString dir = QDir::cleanPath(executableDir);
    if (!executableDir.isEmpty() && EntryExists(dir + u"/MailLists.tlx"_s))
        return dir;
    return userDataFolder;
}

Status MakePrivateFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    QString at = clean;
    while (!at.isEmpty() && !EntryExists(at)) {
        missing.prepend(at);
        const qsizetype slash = at.lastIndexOf(u'/');
        at = slash <= 0 ? QString() : at.left(slash);
    }
    for (const QString &folder : std::as_const(missing)) {
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
            const int err = errno;
            return Status::failure(u"cannot create the folder %1: %2"_s.arg(
                folder, QString::fromLocal8Bit(std::strerror(err))));
        }
    }
    if (!QFileInfo(clean).isDir())
        return Status::failure(u"%1 is not a folder"_s.arg(clean));
    return {};
}

QString ShippedPath(const QString &executableDir, const QString &name)
{
    return QDir::cleanPath(executableDir) + u'/' + name;
}

} // namespace corvel
