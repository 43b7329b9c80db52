#pragma once

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;

namespace corvel {

// Raised and sunken effects drawn over controls: each method turns a control into the effect, which
// the control then paints in place of itself until the effect is changed. The percent meter is the
// one the program uses; the others are plain raised or sunken renderings.
class max3D : public QObject
{
    Q_OBJECT
public:
    explicit max3D(QObject *parent = nullptr);

    short Style = 0;
    QString FontName;
    double FontSize = 0;
    bool FontBold = false;
    bool FontUnderline = false;
    bool FontItalic = false;
    bool FontStrikethru = false;
    QColor ForeColor = Qt::black;
    bool Shadow = false;
    short Depth = 1;
    short Width = 0;
    short Alignment = 0; // 0 left, 1 right, 2 centred
    short Offset = 3;
    QColor FillColor = Qt::black;
    bool ShowPercent = true;
    bool SolidMeter = true;

    // The control shows a sunken meter filled to the percentage (clamped to 0..100).
    void PercentMeter(QWidget *control, int percentage);
    // A raised panel in place of the control.
    void Panel(QWidget *control);
    // A sunken border (and a raised inner one when Width is set).
    void Border(QWidget *control);
    // A sunken status field showing the text.
    void StatusBar(QWidget *control, const QString &text);
    // A shadow offset below and to the right.
    void DropShadow(QWidget *control);
    // A sunken border around a whole form.
    void FormBorder(QWidget *form);
    // An etched horizontal line.
    void Line3D(QWidget *control);
    // The control's text with a shadow offset by xOffset and yOffset.
    void Caption(QWidget *control, bool useFont, int xOffset, int yOffset);
    // A raised or sunken frame with the text in its top edge.
    void Frame(QWidget *control, const QString &text, bool raised);

    // The meter's arithmetic: the percentage kept within 0 to 100, and the bar's length
    // inside a frame of that inner width.
    [[nodiscard]] static int clampPercent(int percentage);
    [[nodiscard]] static int barLength(int innerWidth, int percentage);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Kind
    {
        Meter,
        Panel,
        Border,
        StatusBar,
        DropShadow,
        FormBorder,
        Line,
        Caption,
        Frame,
    };
    struct Effect
    {
        Kind kind = Kind::Meter;
        int percent = 0;
        QString text;
        bool flag = false;
        int x = 0;
        int y = 0;
    };

    [[nodiscard]] static Effect effectOf(Kind kind, const QString &text = {});
    void apply(QWidget *control, const Effect &effect);
    void paint(QWidget *control, const Effect &effect) const;
    void paintMeter(QPainter &painter, QWidget *control, const Effect &effect) const;
    void bevel(QPainter &painter, const QWidget *control, QRect rect, bool raised, int depth) const;
    [[nodiscard]] QColor shadowColour(const QWidget *control) const;
    [[nodiscard]] QFont effectFont(const QWidget *control) const;

    QHash<QWidget *, Effect> m_effects;
};

} // namespace corvel
