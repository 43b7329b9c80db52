#pragma once

#include <QString>

#include <algorithm>
#include <limits>
#include <vector>

namespace corvel {

// The grid a node shows its children in: column 0 is the tree column; the others show
// each child's bound value. Widths are in pixels; a file stores them in twips.
struct ColumnLayout
{
    static constexpr int TwipsPerPixel = 15; // 1440 twips an inch at 96 pixels an inch

    struct Column
    {
        int width = 0;
        QString boundValue;
        QString heading;
        // The width as a file stored it, written back while it still comes to `width`: a
        // file from a screen of other twips per pixel keeps its bytes when read and saved.
        int storedTwips = 0;

        [[nodiscard]] static int pixelsOf(qint64 twips)
        {
            return static_cast<int>((twips + TwipsPerPixel / 2) / TwipsPerPixel);
        }
        [[nodiscard]] int twips() const
        {
            if (pixelsOf(storedTwips) == width)
                return storedTwips;
            return static_cast<int>(std::clamp<qint64>(qint64{width} * TwipsPerPixel,
                                                       std::numeric_limits<int>::min(),
                                                       std::numeric_limits<int>::max()));
        }
        bool operator==(const Column &other) const
        {
            return width == other.width && boundValue == other.boundValue &&
                   heading == other.heading;
        }
    };

    std::vector<Column> columns;
    quint32 gridColour = 0x80000010; // system colour: button shadow

    [[nodiscard]] int columnCount() const { return static_cast<int>(columns.size()); }
    void setColumnCount(int count) { columns.resize(count < 0 ? 0 : static_cast<size_t>(count)); }
    bool operator==(const ColumnLayout &) const = default;
};

} // namespace corvel
