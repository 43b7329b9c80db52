#include "message/OutboxLock.h"

#include "message/OutboxState.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvel {

OutboxLock::OutboxLock(const QString &folderDirectory)
{
    const QByteArray path = QFile::encodeName(folderDirectory + u'/' + OutboxState::lockFileName());
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

OutboxLock::~OutboxLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace corvel
