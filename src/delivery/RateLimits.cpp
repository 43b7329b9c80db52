#include "delivery/RateLimits.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 HourMs = 60 * MinuteMs;

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

} // namespace

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
