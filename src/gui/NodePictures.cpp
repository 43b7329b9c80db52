#include "gui/NodePictures.h"

#include <QPainter>
#include <QSvgRenderer>

// Resources of a static library are registered by hand, outside any namespace.
static void registerNodePictures()
{
    Q_INIT_RESOURCE(nodepictures);
}

namespace corvel {

QPixmap NodePictures::picture(int number, qreal devicePixelRatio)
{
    if (!exists(number))
        return {};
    const int scale = qMax(1, qRound(devicePixelRatio * 100));
    const qint64 key = static_cast<qint64>(number) << 32 | scale;
    if (const auto it = m_cache.constFind(key); it != m_cache.cend())
        return it.value();

    registerNodePictures();
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(number));
    const int pixels = qRound(Size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    m_cache.insert(key, pixmap);
    return pixmap;
}

} // namespace corvel
