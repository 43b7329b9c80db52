#pragma once

#include <QImage>
#include <QWidget>

namespace corvel {

// The surface a status bar draws on (the window's picStatBar). It keeps what was drawn, as
// a picture box does: drawing goes into its canvas and stays until drawn over, and a paint
// only shows the canvas.
class StatusBarSurface : public QWidget
{
    Q_OBJECT

public:
    explicit StatusBarSurface(QWidget *parent = nullptr);

    // The canvas, sized to the widget (in device pixels; draw in widget coordinates).
    [[nodiscard]] QImage &canvas();
    // Shows a changed part of the canvas at once, even inside a long operation.
    void present(const QRect &rect);
    [[nodiscard]] int paintCount() const { return m_paintCount; }

Q_SIGNALS:
    void resized();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_canvas;
    int m_paintCount = 0;
};

} // namespace corvel
