#include "merge/RunLock.h"

#include "support/FileLock.h"
#include "support/FileSync.h"
#include "support/ProcessOwner.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

RunLock::RunLock(std::unique_ptr<FileLock> lock)
    : m_lock(std::move(lock))
{
}

RunLock::~RunLock()
{
    // Emptied before it is let go: a name left behind would only mislead.
    (void)::ftruncate(m_lock->fd(), 0);
}

Result<std::unique_ptr<RunLock>> RunLock::take(const QString &runsDirectory)
{
    using Taken = Result<std::unique_ptr<RunLock>>;
    if (!QDir().mkpath(runsDirectory))
        return Taken::failure(
            u"The folder %1 for run journals cannot be made."_s.arg(runsDirectory));
    // Journals name the recipients: the folder is the user's alone, as the other data is.
    (void)QFile::setPermissions(runsDirectory, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    const QString path = QDir(runsDirectory).filePath(fileName());
    auto lock = std::make_unique<FileLock>(path);
    if (!lock->held()) {
        if (lock->error() != EWOULDBLOCK)
            return Taken::failure(u"The lock %1 cannot be taken: %2"_s.arg(
                path, QString::fromLocal8Bit(std::strerror(lock->error()))));
        QFile file(path);
        const ProcessOwner owner =
            ProcessOwner::fromText(file.open(QIODevice::ReadOnly) ? file.read(256) : QByteArray());
        return Taken::failure(
            owner.pid > 0 ? u"another group mail run is in progress (pid %1)"_s.arg(owner.pid)
                          : u"another group mail run is in progress"_s);
    }
    // Whoever held it before is gone (the lock dies with its holder): it is ours to name.
    const QByteArray text = ProcessOwner::current().text() + '\n';
    const int error =
        ::ftruncate(lock->fd(), 0) != 0 ? errno : FileSync::writeAll(lock->fd(), text);
    if (error != 0)
        return Taken::failure(u"The lock %1 cannot be written: %2"_s.arg(
            path, QString::fromLocal8Bit(std::strerror(error))));
    return std::unique_ptr<RunLock>(new RunLock(std::move(lock)));
}

} // namespace corvel
