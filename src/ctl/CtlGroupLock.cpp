#include "ctl/CtlContext.h"
#include "workspace/InstanceLock.h"

namespace corvel {

std::unique_ptr<InstanceLock> lockGroupsForChange(const CtlContext &context)
{
    auto lock = std::make_unique<InstanceLock>(context.appPath);
    if (!lock->tryLock()) {
        printError(QStringLiteral("corvelctl: %1").arg(lock->refusal()));
        return nullptr;
    }
    return lock;
}

} // namespace corvel
