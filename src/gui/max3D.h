#pragma once

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QWidget;

namespace corvel {

// "3D" effects drawn over controls: each method turns a control into the effect, which the
// control then paints in place of itself until the effect is changed. The percent meter is
// the one the program uses; the others are plain raised or sunken renderings.
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

    // "Converts a Label control to a 3D percentage meter."
    void PercentMeter(QWidget *control, int percentage);
    // "Draws a 3D panel in place of another control."
    void Panel(QWidget *control);
    // "Draws a border around a control."
    void Border(QWidget *control);
    // "Displays a message in a status bar."
    void StatusBar(QWidget *control, const QString &text);
    // "Draws a drop-shadow behind a control."
    void DropShadow(QWidget *control);
    // "Draws a border around a form."
    void FormBorder(QWidget *form);
    // "Redraws a Line control to give it a 3D look."
    void Line3D(QWidget *control);
    // "Redraws the text in a Label control to give it a variety of 3D effects."
    void Caption(QWidget *control, bool useFont, int xOffset, int yOffset);
    // "Draws a 3D frame around a control."
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
