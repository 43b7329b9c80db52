#pragma once

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;

namespace corvel {

// A sunken percent meter drawn over a control: once made a meter, the control paints the meter
// in place of itself.
class max3D : public QObject
{
    Q_OBJECT
public:
    explicit max3D(QObject *parent = nullptr);

    short Style = 0;
    QString FontName;
    double FontSize = 0;
    bool setFontBold = false;
    bool FontUnderline = false;
    bool FontItalic = false;
    bool FontStrikethru = false;
    QColor ForeColor = Qt::black;
    bool Shadow = false;
    short Depth = 1;
    QColor FillColor = Qt::black;
    bool showPercent = true;
    bool SolidMeter = true;

    // The control shows a sunken meter filled to the percentage (clamped to 0..100).
    void PercentMeter(QWidget *control, int percentage);

    // The meter's arithmetic: the percentage kept within 0 to 100, and the bar's length
    // inside a frame of that inner width.
    [[nodiscard]] static int clampPercent(int percentage);
    [[nodiscard]] static int barLength(int innerWidth, int percentage);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintMeter(QWidget *control, int percent) const;
    void bevel(QPainter &painter, const QWidget *control, QRect rect, bool raised, int depth) const;
    [[nodiscard]] QColor shadowColour(const QWidget *control) const;
    [[nodiscard]] QFont textFont(const QWidget *control) const;

    QHash<QWidget *, int> m_percents; // by metered control
};

} // namespace corvel
