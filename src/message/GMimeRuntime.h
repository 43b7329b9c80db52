#pragma once

namespace corvel {

// The MIME library keeps process-wide tables that must be set up once before any message is
// parsed or written, from whichever thread gets there first.
class GMimeRuntime
{
public:
    static void ensureStarted();
};

} // namespace corvel
