#include "gui/StatusBarSurface.h"

#include <QPaintEvent>
#include <QPainter>

namespace corvel {

StatusBarSurface::StatusBarSurface(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Button);
}

QImage &StatusBarSurface::canvas()
{
    const qreal dpr = devicePixelRatioF();
    const QSize wanted = size() * dpr;
    if (m_canvas.size() != wanted || !qFuzzyCompare(m_canvas.devicePixelRatio(), dpr)) {
        QImage grown(wanted.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        grown.setDevicePixelRatio(dpr);
        grown.fill(palette().color(QPalette::Button));
        if (!m_canvas.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(QPoint(0, 0), m_canvas);
        }
        m_canvas = grown;
    }
    return m_canvas;
}

void StatusBarSurface::present(const QRect &rect)
{
    if (isVisible())
        repaint(rect);
}

void StatusBarSurface::paintEvent(QPaintEvent *event)
{
    ++m_paintCount;
    QPainter painter(this);
    const QImage &image = canvas();
    const QRect area = event->rect();
    const qreal dpr = image.devicePixelRatio();
    painter.drawImage(
        area, image,
        QRectF(area.left() * dpr, area.top() * dpr, area.width() * dpr, area.height() * dpr));
}

void StatusBarSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}

} // namespace corvel
