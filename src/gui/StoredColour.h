#pragma once

#include <QColor>

class QPalette;

namespace corvel {

// Colours are stored as the tree and the status bar keep them: a system colour has the high
// bit set and its index in the low byte; any other value is 0x00BBGGRR.
class StoredColour
{
public:
    [[nodiscard]] static QColor toColor(quint32 stored, const QPalette &palette);
    [[nodiscard]] static bool isSystem(quint32 stored) { return (stored & 0x80000000u) != 0; }

    static constexpr quint32 ButtonFace = 0x8000000F;
    static constexpr quint32 ButtonShadow = 0x80000010;
    static constexpr quint32 ButtonText = 0x80000012;
    static constexpr quint32 ButtonHighlight = 0x80000014;
    static constexpr quint32 WindowText = 0x80000008;
    static constexpr quint32 PaletteDarkBlue = 0x00800000;
};

} // namespace corvel
