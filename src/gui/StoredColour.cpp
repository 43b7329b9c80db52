#include "gui/StoredColour.h"

#include <QPalette>

namespace corvel {

QColor StoredColour::toColor(quint32 stored, const QPalette &palette)
{
    if (!isSystem(stored))
        return QColor(static_cast<int>(stored & 0xFF), static_cast<int>((stored >> 8) & 0xFF),
                      static_cast<int>((stored >> 16) & 0xFF));
    // Indices of the classic system colour table, mapped onto the nearest palette role.
    switch (stored & 0xFF) {
    case 1:  // desktop
    case 12: // application workspace
        return palette.color(QPalette::Dark);
    case 2: // active caption
    case 13:
        return palette.color(QPalette::Highlight);
    case 3: // inactive caption
    case 21:
        return palette.color(QPalette::Shadow);
    case 4:
    case 15:
    case 10:
    case 11:
    case 0:
        return palette.color(QPalette::Button);
    case 5:
        return palette.color(QPalette::Base);
    case 6:
        return palette.color(QPalette::WindowText);
    case 7:
    case 18:
        return palette.color(QPalette::ButtonText);
    case 9:
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 16:
        return palette.color(QPalette::Dark);
    case 17:
    case 19:
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 20:
        return palette.color(QPalette::Light);
    case 22:
        return palette.color(QPalette::Midlight);
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    case 8:
    default:
        return palette.color(QPalette::Text);
    }
}

} // namespace corvel
