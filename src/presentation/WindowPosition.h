#pragma once

#include <QRect>
#include <QString>

#include <optional>

namespace corvel {

// A window's place in twips: left, top, width, height.
struct TwipRect
{
    qint64 left = 0;
    qint64 top = 0;
    qint64 width = 0;
    qint64 height = 0;

    friend bool operator==(const TwipRect &, const TwipRect &) = default;
};

// The saved-position text of a window ("left,top,width,height" in twips) and how a saved
// text is applied to a window.
class WindowPosition
{
public:
    [[nodiscard]] static QString format(const TwipRect &rect);
    // What to use when nothing was saved: the main window has a default, others none.
    [[nodiscard]] static QString defaultFor(const QString &windowName);
    // The place to move the window to; std::nullopt when it should be centred instead.
    // A field that is missing, not a number or 0 keeps the current value; a window that
    // cannot be resized keeps its size.
    [[nodiscard]] static std::optional<TwipRect>
    restore(const QString &saved, const QString &windowName, const TwipRect &current, bool sizable);
    // The window moved, and shrunk only where it is larger than the screen, to lie wholly
    // inside `available`: a saved place from another monitor or a dialog centred over a
    // window near the edge must not open partly out of reach.
    [[nodiscard]] static QRect fitOnScreen(const QRect &window, const QRect &available);
};

} // namespace corvel
