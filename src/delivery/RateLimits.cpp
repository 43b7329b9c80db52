#include "delivery/RateLimits.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 HourMs = 60 * MinuteMs;
constexpr qint64 DayMs = 24 * HourMs;

// When the window of `spanMs` ending then holds fewer than `limit` of the sorted times.
qint64 windowFreeAt(const std::vector<qint64> &sorted, qint64 nowMs, qint64 spanMs, int limit)
{
    const auto first = std::upper_bound(sorted.begin(), sorted.end(), nowMs - spanMs);
    const auto inWindow = sorted.end() - first;
    if (limit <= 0 || inWindow < limit)
        return nowMs;
    // The oldest sends drop out one by one; the one that leaves room for the next is this.
    return *(first + (inWindow - limit)) + spanMs;
}

// When the day ending then holds room for `recipients` more below `limit`.
qint64 dayFreeAt(const std::vector<RateLimits::Send> &sorted, qint64 nowMs, int recipients,
                 int limit)
{
    const auto first =
        std::upper_bound(sorted.begin(), sorted.end(), nowMs - DayMs,
                         [](qint64 at, const RateLimits::Send &send) { return at < send.atMs; });
    qint64 inDay = 0;
    for (auto it = first; it != sorted.end(); ++it)
        inDay += it->recipients;
    const qint64 room = std::max<qint64>(limit - recipients, 0);
    // The oldest sends leave the day one by one until what stays leaves room.
    for (auto it = first; it != sorted.end() && inDay > room; ++it) {
        inDay -= it->recipients;
        if (inDay <= room)
            return it->atMs + DayMs;
    }
    return nowMs;
}

} // namespace

qint64 RateLimits::memoryMs() const
{
    return recipientsPerDay > 0 ? DayMs : HourMs;
}

qint64 RateLimits::nextAllowedMs(const std::vector<qint64> &sentMs, const std::vector<Send> &sends,
                                 qint64 nowMs, int recipients, QString *why) const
{
    const qint64 byMessages = nextAllowedMs(sentMs, nowMs, why);
    if (recipientsPerDay <= 0)
        return byMessages;
    const qint64 byDay = dayFreeAt(sends, nowMs, std::max(recipients, 1), recipientsPerDay);
    if (why && byDay > nowMs && byDay >= byMessages)
        *why = u"limit %1 recipients per day"_s.arg(recipientsPerDay);
    return std::max(byMessages, byDay);
}

qint64 RateLimits::nextAllowedMs(const std::vector<qint64> &sentMs, qint64 nowMs,
                                 QString *why) const
{
    if (!any())
        return nowMs;
    // Delivery asks before every message with a list it keeps sorted: no copy then.
    std::vector<qint64> copy;
    if (!std::is_sorted(sentMs.begin(), sentMs.end())) {
        copy = sentMs;
        std::sort(copy.begin(), copy.end());
    }
    const std::vector<qint64> &sorted = copy.empty() ? sentMs : copy;
    const qint64 byMinute = windowFreeAt(sorted, nowMs, MinuteMs, perMinute);
    const qint64 byHour = windowFreeAt(sorted, nowMs, HourMs, perHour);
    if (why) {
        if (byHour > nowMs && byHour >= byMinute)
            *why = u"limit %1 per hour"_s.arg(perHour);
        else if (byMinute > nowMs)
            *why = u"limit %1 per minute"_s.arg(perMinute);
        else
            why->clear();
    }
    return std::max(byMinute, byHour);
}

bool RateLimits::parseLimit(const QString &text, int &limit)
{
    limit = 0;
    if (text.isEmpty())
        return true;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        return false;
    limit = value;
    return true;
}

} // namespace corvel
