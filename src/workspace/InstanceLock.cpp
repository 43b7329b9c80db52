#include "workspace/InstanceLock.h"

#include "support/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

using namespace Qt::StringLiterals;

namespace corvel {

InstanceLock::InstanceLock(const QString &appPath)
    : m_path(QDir(appPath).filePath(u"MailLists.lock"_s))
    , m_lock(std::make_unique<QLockFile>(m_path))
{
    // By default a lock older than 30 s counts as stale even while its holder runs; only a
    // holder that is gone may lose it.
    m_lock->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryLock()
{
    if (m_lock->isLocked())
        return true;
    if (const Status made = MakePrivateFolder(QFileInfo(m_path).path()); !made.ok()) {
        m_refusal = u"The mail groups cannot be opened: %1."_s.arg(made.error());
        return false;
    }
    if (m_lock->tryLock(0)) {
        m_refusal.clear();
        return true;
    }
    switch (m_lock->error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host;
        QString application;
        if (m_lock->getLockInfo(&pid, &host, &application)) {
            m_refusal = u"The mail groups in %1 are in use by %2 (process %3 on %4). Close it "
                        "and try again."_s
                            .arg(QDir::toNativeSeparators(QFileInfo(m_path).path()),
                                 application.isEmpty() ? u"another program"_s : application)
                            .arg(pid)
                            .arg(host);
        } else {
            m_refusal = u"The mail groups in %1 are in use by another program. Close it and "
                        "try again."_s.arg(QDir::toNativeSeparators(QFileInfo(m_path).path()));
        }
        break;
    }
    case QLockFile::PermissionError:
        m_refusal = u"The lock file %1 cannot be created: permission denied."_s.arg(
            QDir::toNativeSeparators(m_path));
        break;
    default:
        m_refusal = u"The lock file %1 cannot be created."_s.arg(QDir::toNativeSeparators(m_path));
        break;
    }
    return false;
}

bool InstanceLock::isLocked() const
{
    return m_lock->isLocked();
}

void InstanceLock::unlock()
{
    m_lock->unlock();
}

QString InstanceLock::refusal() const
{
    return m_refusal;
}

} // namespace corvel
