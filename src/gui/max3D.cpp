#include "gui/max3D.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace corvel {

max3D::max3D(QObject *parent)
    : QObject(parent)
{
}

int max3D::clampPercent(int percentage)
{
    return std::clamp(percentage, 0, 100);
}

int max3D::barLength(int innerWidth, int percentage)
{
    return std::max(0, innerWidth - 2) * clampPercent(percentage) / 100;
}

void max3D::PercentMeter(QWidget *control, int percentage)
{
    if (!control)
        return;
    const int percent = clampPercent(percentage);
    const auto found = m_percents.constFind(control);
    // The meter repaints only when what it shows changes: it is called after every member.
    if (found != m_percents.constEnd() && *found == percent)
        return;
    if (found == m_percents.constEnd()) {
        control->installEventFilter(this);
        connect(control, &QObject::destroyed, this,
                [this, control] { m_percents.remove(control); });
    }
    m_percents.insert(control, percent);
    control->update();
}

bool max3D::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint)
        return false;
    auto *control = static_cast<QWidget *>(watched);
    const auto found = m_percents.constFind(control);
    if (found == m_percents.constEnd())
        return false;
    paintMeter(control, *found);
    return true; // drawn in place of the control
}

QColor max3D::shadowColour(const QWidget *control) const
{
    const QPalette &palette = control->palette();
    return Shadow ? palette.color(QPalette::Shadow) : palette.color(QPalette::Dark);
}

QFont max3D::textFont(const QWidget *control) const
{
    QFont font = control->font();
    if (!FontName.isEmpty())
        font.setFamily(FontName);
    if (FontSize > 0)
        font.setPointSizeF(FontSize);
    font.setBold(setFontBold);
    font.setUnderline(FontUnderline);
    font.setItalic(FontItalic);
    font.setStrikeOut(FontStrikethru);
    return font;
}

void max3D::bevel(QPainter &painter, const QWidget *control, QRect rect, bool raised,
                  int depth) const
{
    const QColor light = control->palette().color(QPalette::Light);
    const QColor dark = shadowColour(control);
    // Style 1 swaps the colours of the sides, for a meter lit from below.
    const bool litTopLeft = raised != (Style == 1);
    const QColor topLeft = litTopLeft ? light : dark;
    const QColor bottomRight = litTopLeft ? dark : light;
    for (int i = 0; i < std::max<int>(1, depth) && rect.width() > 1 && rect.height() > 1; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
        rect.adjust(1, 1, -1, -1);
    }
}

void max3D::paintMeter(QWidget *control, int percent) const
{
    QPainter painter(control);
    const QRect outer = control->rect();
    painter.fillRect(outer, control->palette().color(QPalette::Window));
    bevel(painter, control, outer, false, Depth);
    const int depth = std::max<int>(1, Depth);
    const QRect inner = outer.adjusted(depth, depth, -depth, -depth);
    const int length = barLength(inner.width(), percent);
    const QRect bar(inner.left() + 1, inner.top() + 1, length, std::max(0, inner.height() - 2));
    if (SolidMeter) {
        painter.fillRect(bar, FillColor);
    } else {
        const int block = std::max(4, bar.height() / 2);
        for (int x = bar.left(); x < bar.right(); x += block + 2)
            painter.fillRect(
                QRect(x, bar.top(), std::min(block, bar.right() - x + 1), bar.height()), FillColor);
    }
    if (showPercent) {
        // Over the bar the text is in ForeColor; beside it, where ForeColor may be as light
        // as the ground, in the control's own text colour.
        const QString text = QString::number(percent) + u'%';
        painter.setFont(textFont(control));
        painter.save();
        painter.setClipRect(
            QRect(inner.left(), inner.top(), bar.right() - inner.left() + 1, inner.height()));
        painter.setPen(ForeColor);
        painter.drawText(inner, Qt::AlignCenter, text);
        painter.setClipRect(
            QRect(bar.right() + 1, inner.top(), inner.right() - bar.right(), inner.height()));
        painter.setPen(control->palette().color(QPalette::WindowText));
        painter.drawText(inner, Qt::AlignCenter, text);
        painter.restore();
    }
}

} // namespace corvel
