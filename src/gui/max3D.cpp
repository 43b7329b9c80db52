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

max3D::Effect max3D::effectOf(Kind kind, const QString &text)
{
    Effect effect;
    effect.kind = kind;
    effect.text = text;
    return effect;
}

int max3D::clampPercent(int percentage)
{
    return std::clamp(percentage, 0, 100);
}

int max3D::barLength(int innerWidth, int percentage)
{
    return std::max(0, innerWidth - 2) * clampPercent(percentage) / 100;
}

void max3D::apply(QWidget *control, const Effect &effect)
{
    if (!control)
        return;
    if (!m_effects.contains(control)) {
        control->installEventFilter(this);
        connect(control, &QObject::destroyed, this, [this, control] { m_effects.remove(control); });
    }
    m_effects.insert(control, effect);
    control->update();
}

void max3D::PercentMeter(QWidget *control, int percentage)
{
    const auto found = m_effects.constFind(control);
    const int percent = clampPercent(percentage);
    // The meter repaints only when what it shows changes: it is called after every member.
    if (found != m_effects.constEnd() && found->kind == Kind::Meter && found->percent == percent)
        return;
    Effect effect;
    effect.percent = percent;
    apply(control, effect);
}

void max3D::Panel(QWidget *control)
{
    apply(control, effectOf(Kind::Panel));
}

void max3D::Border(QWidget *control)
{
    apply(control, effectOf(Kind::Border));
}

void max3D::StatusBar(QWidget *control, const QString &text)
{
    apply(control, effectOf(Kind::StatusBar, text));
}

void max3D::DropShadow(QWidget *control)
{
    apply(control, effectOf(Kind::DropShadow));
}

void max3D::FormBorder(QWidget *form)
{
    apply(form, effectOf(Kind::FormBorder));
}

void max3D::Line3D(QWidget *control)
{
    apply(control, effectOf(Kind::Line));
}

void max3D::Caption(QWidget *control, bool useFont, int xOffset, int yOffset)
{
    Effect effect = effectOf(Kind::Caption);
    effect.flag = useFont;
    effect.x = xOffset;
    effect.y = yOffset;
    apply(control, effect);
}

void max3D::Frame(QWidget *control, const QString &text, bool raised)
{
    Effect effect = effectOf(Kind::Frame, text);
    effect.flag = raised;
    apply(control, effect);
}

bool max3D::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint)
        return false;
    auto *control = static_cast<QWidget *>(watched);
    const auto found = m_effects.constFind(control);
    if (found == m_effects.constEnd())
        return false;
    paint(control, *found);
    return true; // drawn in place of the control
}

QColor max3D::shadowColour(const QWidget *control) const
{
    const QPalette &palette = control->palette();
    return Shadow ? palette.color(QPalette::Shadow) : palette.color(QPalette::Dark);
}

QFont max3D::effectFont(const QWidget *control) const
{
    QFont font = control->font();
    if (!FontName.isEmpty())
        font.setFamily(FontName);
    if (FontSize > 0)
        font.setPointSizeF(FontSize);
    font.setBold(FontBold);
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
    // Style 1 swaps the colours of the sides, for effects lit from below.
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

void max3D::paintMeter(QPainter &painter, QWidget *control, const Effect &effect) const
{
    const QRect outer = control->rect();
    painter.fillRect(outer, control->palette().color(QPalette::Window));
    bevel(painter, control, outer, false, Depth);
    const int depth = std::max<int>(1, Depth);
    const QRect inner = outer.adjusted(depth, depth, -depth, -depth);
    const int length = barLength(inner.width(), effect.percent);
    const QRect bar(inner.left() + 1, inner.top() + 1, length, std::max(0, inner.height() - 2));
    if (SolidMeter) {
        painter.fillRect(bar, FillColor);
    } else {
        const int block = std::max(4, bar.height() / 2);
        for (int x = bar.left(); x < bar.right(); x += block + 2)
            painter.fillRect(
                QRect(x, bar.top(), std::min(block, bar.right() - x + 1), bar.height()), FillColor);
    }
    if (ShowPercent) {
        // Over the bar the text is in ForeColor; beside it, where ForeColor may be as light
        // as the ground, in the control's own text colour.
        const QString text = QString::number(effect.percent) + u'%';
        painter.setFont(effectFont(control));
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

void max3D::paint(QWidget *control, const Effect &effect) const
{
    QPainter painter(control);
    const QRect rect = control->rect();
    const Qt::Alignment align = Alignment == 1   ? Qt::AlignRight
                                : Alignment == 2 ? Qt::AlignHCenter
                                                 : Qt::AlignLeft;
    switch (effect.kind) {
    case Kind::Meter:
        paintMeter(painter, control, effect);
        break;
    case Kind::Panel:
        painter.fillRect(rect, control->palette().color(QPalette::Button));
        bevel(painter, control, rect, true, Depth);
        break;
    case Kind::Border:
    case Kind::FormBorder:
        bevel(painter, control, rect, false, Depth);
        if (Width > 0)
            bevel(painter, control,
                  rect.adjusted(Depth + Width, Depth + Width, -Depth - Width, -Depth - Width), true,
                  Depth);
        break;
    case Kind::StatusBar:
        painter.fillRect(rect, control->palette().color(QPalette::Window));
        bevel(painter, control, rect, false, Depth);
        painter.setFont(effectFont(control));
        painter.setPen(ForeColor);
        painter.drawText(rect.adjusted(Depth + 2, 0, -Depth - 2, 0), align | Qt::AlignVCenter,
                         effect.text);
        break;
    case Kind::DropShadow:
        painter.fillRect(rect.adjusted(Offset, Offset, 0, 0), shadowColour(control));
        painter.fillRect(rect.adjusted(0, 0, -Offset, -Offset),
                         control->palette().color(QPalette::Button));
        break;
    case Kind::Line:
        painter.setPen(shadowColour(control));
        painter.drawLine(rect.left(), rect.center().y(), rect.right(), rect.center().y());
        painter.setPen(control->palette().color(QPalette::Light));
        painter.drawLine(rect.left(), rect.center().y() + 1, rect.right(), rect.center().y() + 1);
        break;
    case Kind::Caption: {
        const QString text = control->property("text").toString();
        if (effect.flag)
            painter.setFont(effectFont(control));
        painter.setPen(shadowColour(control));
        painter.drawText(rect.translated(effect.x, effect.y), align | Qt::AlignVCenter, text);
        painter.setPen(ForeColor);
        painter.drawText(rect, align | Qt::AlignVCenter, text);
        break;
    }
    case Kind::Frame: {
        const int textHeight = painter.fontMetrics().height();
        const QRect box = rect.adjusted(0, textHeight / 2, 0, 0);
        bevel(painter, control, box, effect.flag, Depth);
        if (!effect.text.isEmpty()) {
            const QRect label = rect.adjusted(8, 0, -8, 0);
            const QRect used = painter.boundingRect(label, align | Qt::AlignTop, effect.text);
            painter.fillRect(used.adjusted(-2, 0, 2, 0),
                             control->palette().color(QPalette::Window));
            painter.setPen(ForeColor);
            painter.drawText(label, align | Qt::AlignTop, effect.text);
        }
        break;
    }
    }
}

} // namespace corvel
