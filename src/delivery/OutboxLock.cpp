#include "delivery/OutboxLock.h"

#include "delivery/OutboxState.h"

namespace corvel {

OutboxLock::OutboxLock(const QString &folderDirectory)
    : m_lock(folderDirectory + u'/' + OutboxState::lockFileName())
{
}

} // namespace corvel
