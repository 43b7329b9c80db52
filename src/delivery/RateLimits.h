#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

namespace corvel {

// How many messages the transport may take in a sliding minute and a sliding hour, and how many
// recipients in a sliding day (0: no limit), as mail providers cap their users. For the first
// two a message counts once each time its data goes to the server or program, whatever the
// number of its recipients; the day counts the recipients of each such transaction.
struct RateLimits
{
    int perMinute = 0;
    int perHour = 0;
    int recipientsPerDay = 0;

    // One transaction whose data went, for the day's count of recipients.
    struct Send
    {
        qint64 atMs = 0;
        int recipients = 1;
        friend bool operator<(const Send &a, const Send &b) { return a.atMs < b.atMs; }
    };

    [[nodiscard]] bool any() const { return perMinute > 0 || perHour > 0 || recipientsPerDay > 0; }
    // How long sends must be remembered to keep these limits.
    [[nodiscard]] qint64 memoryMs() const;
    // A limit as the settings hold it: empty or 0 for none, else a count. False for anything
    // else (limit 0 then).
    [[nodiscard]] static bool parseLimit(const QString &text, int &limit);
    // The earliest time from `nowMs` at which one more message keeps to the limits, given when
    // the earlier ones went (ms since the epoch, any order); `nowMs` itself when one may go now.
    // `why` names the limit that holds it back.
    [[nodiscard]] qint64 nextAllowedMs(const std::vector<qint64> &sentMs, qint64 nowMs,
                                       QString *why = nullptr) const;
    // The same for a message to `recipients` more, the day's limit included: `sends` are the
    // earlier transactions sorted by time. A message to more recipients than a day allows goes
    // once the day before it is empty, or it would never go.
    [[nodiscard]] qint64 nextAllowedMs(const std::vector<qint64> &sentMs,
                                       const std::vector<Send> &sends, qint64 nowMs, int recipients,
                                       QString *why = nullptr) const;
};

} // namespace corvel
