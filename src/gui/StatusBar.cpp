#include "gui/StatusBar.h"

#include "gui/StatusBarSurface.h"
#include "gui/StoredColour.h"

#include <QFontMetrics>
#include <QPainter>

namespace corvel {

namespace {

constexpr int PanelGap = 2;   // pixels between panels
constexpr int SideMargin = 3; // pixels each side of a fixed panel's sample text
constexpr int BarPadding = 8; // edge and margin above and below the tallest caption

// A one-pixel frame: `topLeft` on the top and left lines, `bottomRight` on the others.
void drawFrame(QPainter &painter, const QRect &rect, const QColor &topLeft,
               const QColor &bottomRight)
{
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

} // namespace

StatusBar::~StatusBar()
{
    QObject::disconnect(m_resizeConnection);
}

QString StatusBar::sampleText(int kind)
{
    switch (kind) {
    case Date:
        return QStringLiteral("XX/XX/XXXX");
    case Time:
        return QStringLiteral("XX:XX xx");
    case Eight:
        return QStringLiteral("XXXXXXXX");
    case CapsLock:
        return QStringLiteral("CAP");
    case NumLock:
        return QStringLiteral("NUM");
    case ScrollLock:
        return QStringLiteral("SCR");
    case Small:
        return QStringLiteral("XXXX");
    case Count:
        return QString(15, QLatin1Char('X'));
    default:
        return {};
    }
}

void StatusBar::applyStyle(Panel &panel, const PanelStyle &style)
{
    if (style.caption)
        panel.caption = *style.caption;
    if (style.fontName)
        panel.fontName = *style.fontName;
    if (style.fontSize)
        panel.fontSize = *style.fontSize;
    panel.frameType = style.frameType;
    panel.kind = style.kind;
    panel.fontColour = style.fontColour;
    panel.threeD = style.threeD;
    panel.bold = style.bold;
}

int StatusBar::addPanel(const PanelStyle &style)
{
    Panel panel;
    applyStyle(panel, style);
    m_panels.push_back(panel);
    return panelCount();
}

void StatusBar::changePanel(int panel, const PanelStyle &style)
{
    if (!valid(panel))
        return;
    applyStyle(at(panel), style);
}

void StatusBar::setFontBold(int panel, bool bold)
{
    if (valid(panel))
        at(panel).bold = bold;
}

QString StatusBar::caption(int panel) const
{
    return valid(panel) ? m_panels[static_cast<size_t>(panel - 1)].caption : QString();
}

QRect StatusBar::panelRect(int panel) const
{
    return valid(panel) ? m_panels[static_cast<size_t>(panel - 1)].rect : QRect();
}

QFont StatusBar::fontOf(const Panel &panel) const
{
    QFont font = m_surface ? m_surface->font() : QFont();
    if (!panel.fontName.isEmpty())
        font.setFamily(panel.fontName);
    bool ok = false;
    const double points = panel.fontSize.toDouble(&ok);
    if (ok && points > 0)
        font.setPointSizeF(points);
    font.setBold(panel.bold);
    return font;
}

void StatusBar::initializeStatusBar(StatusBarSurface *picture)
{
    QObject::disconnect(m_resizeConnection);
    m_surface = picture;
    if (!m_surface)
        return;
    if (m_panels.empty()) {
        m_surface->hide();
        return;
    }
    m_surface->setBackgroundRole(QPalette::Button);
    m_surface->setContentsMargins(0, 0, 0, 0);

    int tallest = 0;
    for (const Panel &panel : m_panels)
        tallest = qMax(tallest,
                       QFontMetrics(fontOf(panel)).boundingRect(QStringLiteral("TEST")).height());
    m_surface->setFixedHeight(tallest + BarPadding);

    const QFont surfaceFont = m_surface->font();
    for (Panel &panel : m_panels) {
        panel.alignment = Qt::TextSingleLine | Qt::AlignVCenter |
                          (panel.kind == Spring  ? Qt::AlignLeft
                           : panel.kind == Small ? Qt::AlignRight
                                                 : Qt::AlignHCenter);
        if (panel.fontName.isEmpty())
            panel.fontName = surfaceFont.family();
        if (panel.fontSize.isEmpty())
            panel.fontSize = QString::number(surfaceFont.pointSizeF());
    }
    m_resizeConnection = QObject::connect(m_surface, &StatusBarSurface::resized, m_surface,
                                          [this] { displayStatusBar(); });
    displayStatusBar();
}

void StatusBar::displayStatusBar()
{
    if (!m_surface || m_panels.empty())
        return;
    QImage &canvas = m_surface->canvas();
    const QPalette &palette = m_surface->palette();
    const QColor face = StoredColour::toColor(StoredColour::ButtonFace, palette);
    const QRect bar = m_surface->rect();
    {
        QPainter painter(&canvas);
        painter.fillRect(bar, face);
        drawFrame(painter, bar, StoredColour::toColor(StoredColour::ButtonHighlight, palette),
                  StoredColour::toColor(StoredColour::ButtonShadow, palette));

        const int innerWidth = bar.width() - 2;
        const int innerHeight = bar.height() - 2;
        int free = innerWidth - 2 - PanelGap * (panelCount() - 1);
        int springs = 0;
        for (Panel &panel : m_panels) {
            if (panel.kind == Spring) {
                ++springs;
                continue;
            }
            const int width =
                QFontMetrics(fontOf(panel)).horizontalAdvance(sampleText(panel.kind)) +
                2 * SideMargin;
            panel.rect.setWidth(width);
            free -= width;
        }
        const int springWidth = free > 0 && springs > 0 ? free / springs : 0;

        int x = 1;
        for (Panel &panel : m_panels) {
            const int width = panel.kind == Spring ? springWidth : panel.rect.width();
            if (width <= 0) {
                panel.rect = QRect();
                continue;
            }
            panel.rect = QRect(x, 1, width, innerHeight - 2);
            drawPanel(painter, panel);
            x += width + PanelGap;
        }
    }
    m_surface->present(bar);
}

void StatusBar::drawPanel(QPainter &painter, Panel &panel)
{
    ++m_panelDraws;
    panel.percentRight = 0;
    const QPalette &palette = m_surface->palette();
    const QColor face = StoredColour::toColor(StoredColour::ButtonFace, palette);
    const QColor light = StoredColour::toColor(StoredColour::ButtonHighlight, palette);
    const QColor shadow = StoredColour::toColor(StoredColour::ButtonShadow, palette);
    const QRect &rect = panel.rect;

    painter.fillRect(rect, face);
    switch (panel.frameType) {
    case Inset:
        drawFrame(painter, rect, shadow, light);
        break;
    case Raised:
        drawFrame(painter, rect, light, shadow);
        break;
    default:
        drawFrame(painter, rect, face, face);
        break;
    }

    painter.save();
    painter.setFont(fontOf(panel));
    const QRect text = rect.adjusted(1 + SideMargin - 1, 1, -(1 + SideMargin - 1), -1);
    if (panel.threeD) {
        painter.setPen(light);
        painter.drawText(text.translated(1, 1), panel.alignment, panel.caption);
    }
    painter.setPen(StoredColour::toColor(panel.fontColour, palette));
    painter.drawText(text, panel.alignment, panel.caption);
    painter.restore();
}

void StatusBar::drawPanelNow(Panel &panel)
{
    if (!m_surface || panel.rect.isEmpty())
        return;
    {
        QPainter painter(&m_surface->canvas());
        drawPanel(painter, panel);
    }
    m_surface->present(panel.rect);
}

void StatusBar::updateCaption(int panel, const QString &caption)
{
    if (!valid(panel))
        return;
    Panel &p = at(panel);
    // A percent bar drawn since covers the caption, so the same text is drawn again.
    if (p.caption == caption && p.percentRight == 0)
        return;
    p.caption = caption;
    drawPanelNow(p);
}

void StatusBar::showPercent(int panel, int percent)
{
    if (!valid(panel) || percent < 1 || percent > 100 || !m_surface)
        return;
    Panel &p = at(panel);
    if (p.rect.isEmpty())
        return;
    const int left = p.rect.left() + 2;
    const int right = p.rect.left() + p.rect.width() * percent / 100 - 2;
    // Nothing is erased, so a bar no longer than one drawn before changes nothing.
    if (right <= left || right <= p.percentRight)
        return;
    const QRect bar(QPoint(left, p.rect.top() + 2), QPoint(right - 1, p.rect.bottom() - 2));
    {
        QPainter painter(&m_surface->canvas());
        painter.fillRect(bar, StoredColour::toColor(m_percentColour, m_surface->palette()));
    }
    p.percentRight = right;
    m_surface->present(bar);
}

void StatusBar::createMainPanels(StatusBarSurface *picture)
{
    PanelStyle counts;
    counts.caption = QString();
    counts.kind = Count;
    counts.fontColour = StoredColour::ButtonText;
    addPanel(counts);
    PanelStyle activity = counts;
    activity.kind = Spring;
    addPanel(activity);
    initializeStatusBar(picture);
}

} // namespace corvel
