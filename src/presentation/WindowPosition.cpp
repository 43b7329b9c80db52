#include "presentation/WindowPosition.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

qint64 fieldValue(const QStringList &fields, int index)
{
    if (index >= fields.size())
        return 0;
    bool ok = false;
    const double value = fields[index].trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e12)
        return 0;
    return std::llround(value);
}

} // namespace

QString WindowPosition::format(const TwipRect &rect)
{
    return u"%1,%2,%3,%4"_s.arg(rect.left).arg(rect.top).arg(rect.width).arg(rect.height);
}

QString WindowPosition::defaultFor(const QString &windowName)
{
    return windowName == u"frmMain"_s ? u"500,500,9000,6500"_s : QString();
}

std::optional<TwipRect> WindowPosition::restore(const QString &saved, const QString &windowName,
                                                const TwipRect &current, bool sizable)
{
    QString text = saved;
    if (text.isEmpty())
        text = defaultFor(windowName);
    if (text.isEmpty())
        return std::nullopt;

    const QStringList fields = text.split(u',');
    const auto pick = [&](int index, qint64 now) {
        const qint64 value = fieldValue(fields, index);
        return value != 0 ? value : now;
    };
    TwipRect placed = current;
    placed.left = pick(0, current.left);
    placed.top = pick(1, current.top);
    if (sizable) {
        // A negative size cannot be shown: it counts as missing, like 0.
        placed.width = std::max<qint64>(pick(2, current.width), 0);
        placed.height = std::max<qint64>(pick(3, current.height), 0);
        if (placed.width == 0)
            placed.width = current.width;
        if (placed.height == 0)
            placed.height = current.height;
    }
    return placed;
}

QRect WindowPosition::fitOnScreen(const QRect &window, const QRect &available)
{
    if (available.isEmpty())
        return window;
    const int width = std::min(window.width(), available.width());
    const int height = std::min(window.height(), available.height());
    const int left = std::clamp(window.left(), available.left(), available.right() + 1 - width);
    const int top = std::clamp(window.top(), available.top(), available.bottom() + 1 - height);
    return {left, top, width, height};
}

} // namespace corvel
