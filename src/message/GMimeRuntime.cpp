#include "message/GMimeRuntime.h"

#include <gmime/gmime.h>

#include <mutex>

namespace corvel {

void GMimeRuntime::ensureStarted()
{
    static std::once_flag started;
    // Never shut down again: items may be alive until the process ends.
    std::call_once(started, [] { g_mime_init(); });
}

} // namespace corvel
