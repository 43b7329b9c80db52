#pragma once

#include <QString>

#include <vector>

namespace corvel {

// The grid a node shows its children in: column 0 is the tree column; the others show
// each child's bound value. Widths are in twips.
struct ColumnLayout
{
    struct Column
    {
        int widthTwips = 0;
        QString boundValue;
        QString heading;
        bool operator==(const Column &) const = default;
    };

    std::vector<Column> columns;
    quint32 gridColour = 0x80000010; // system colour: button shadow

    [[nodiscard]] int columnCount() const { return static_cast<int>(columns.size()); }
    void setColumnCount(int count) { columns.resize(count < 0 ? 0 : static_cast<size_t>(count)); }
    bool operator==(const ColumnLayout &) const = default;
};

} // namespace corvel
