#pragma once

#include <QHash>
#include <QPixmap>

namespace corvel {

// The 16 by 16 node pictures 101 to 115, drawn from the program's own SVG resources and
// kept rendered per device pixel ratio.
class NodePictures
{
public:
    static constexpr int Size = 16;

    // A null pixmap for 0 and for numbers without a picture.
    [[nodiscard]] QPixmap picture(int number, qreal devicePixelRatio = 1.0);
    [[nodiscard]] static bool exists(int number) { return number >= 101 && number <= 115; }

private:
    QHash<qint64, QPixmap> m_cache;
};

} // namespace corvel
