#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

namespace corvel {

// How many messages the transport may take in a sliding minute and a sliding hour (0: no
// limit), as mail providers cap their users. A message counts once each time its data goes to
// the server or program, whatever the number of its recipients.
struct RateLimits
{
    int perMinute = 0;
    int perHour = 0;

    [[nodiscard]] bool any() const { return perMinute > 0 || perHour > 0; }
    // A limit as the settings hold it: empty or 0 for none, else a count. False for anything
    // else (limit 0 then).
    [[nodiscard]] static bool parseLimit(const QString &text, int &limit);
    // The earliest time from `nowMs` at which one more message keeps to the limits, given when
    // the earlier ones went (ms since the epoch, any order); `nowMs` itself when one may go now.
    // `why` names the limit that holds it back.
    [[nodiscard]] qint64 nextAllowedMs(const std::vector<qint64> &sentMs, qint64 nowMs,
                                       QString *why = nullptr) const;
};

} // namespace corvel
