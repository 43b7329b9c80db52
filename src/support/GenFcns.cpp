#include "support/GenFcns.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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

QString AppPath(const QString &executableDir)
{
    QString dir = QDir::cleanPath(executableDir);
    const QFileInfo info(dir);
    // isWritable alone trusts the permission bits; access() also sees read-only mounts.
    if (!executableDir.isEmpty() && info.isDir() && info.isWritable() &&
        ::access(QFile::encodeName(dir).constData(), W_OK) == 0)
        return dir;

    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + u"/.local/share"_s;
    const QString data = QDir::cleanPath(base + u"/Tessary/Corvel"_s);
    QDir().mkpath(data);
    return data;
}

QString AppPath()
{
    return AppPath(QCoreApplication::applicationDirPath());
}

} // namespace corvel
