#pragma once

#include <QtGlobal>

#include <algorithm>

namespace corvel {

// Growing delays between attempts at a message the server deferred: first, twice that, ...
struct RetryPolicy
{
    qint64 firstDelayMs = 60 * 1000;
    qint64 longestDelayMs = 60 * 60 * 1000;

    [[nodiscard]] qint64 delayMs(int attempts) const
    {
        qint64 delay = firstDelayMs;
        for (int i = 1; i < attempts && delay < longestDelayMs; ++i)
            delay *= 2;
        return std::min(delay, longestDelayMs);
    }
};

} // namespace corvel
