#include "gui/StatusBar.h"
#include "gui/StatusBarSurface.h"

#include <QFontMetrics>
#include <QtTest>

using namespace corvel;

namespace {

StatusBar::PanelStyle panel(int kind, const QString &caption = {})
{
    StatusBar::PanelStyle style;
    style.kind = kind;
    style.caption = caption;
    return style;
}

QColor pixel(StatusBarSurface &surface, int x, int y)
{
    const QImage &canvas = surface.canvas();
    const qreal dpr = canvas.devicePixelRatio();
    return canvas.pixelColor(qRound(x * dpr), qRound(y * dpr));
}

// Shows the surface at a fixed width and lets the first paints happen.
void show(StatusBarSurface &surface, int width)
{
    surface.resize(width, surface.height());
    surface.show();
    QVERIFY(QTest::qWaitForWindowExposed(&surface));
    QCoreApplication::processEvents();
}

} // namespace

class StatusBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noPanelsHidesTheSurface()
    {
        StatusBarSurface surface;
        surface.show();
        StatusBar bar;
        bar.initializeStatusBar(&surface);
        QVERIFY(surface.isHidden());
    }

    void springPanelsWithoutRoomAreNotDrawn()
    {
        StatusBarSurface surface;
        StatusBar bar;
        bar.addPanel(panel(StatusBar::Count));
        bar.addPanel(panel(StatusBar::Spring));
        bar.initializeStatusBar(&surface);
        show(surface, 40); // narrower than the fixed panel
        QVERIFY(bar.panelRect(2).isEmpty());
        const int draws = bar.panelDraws();
        bar.updateCaption(2, QStringLiteral("Loading Folders"));
        QCOMPARE(bar.caption(2), QStringLiteral("Loading Folders"));
        QCOMPARE(bar.panelDraws(), draws);
    }

    void updateCaptionDrawsOnlyOnChange()
    {
        StatusBarSurface surface;
        StatusBar bar;
        bar.createMainPanels(&surface);
        show(surface, 500);
        QCoreApplication::processEvents();
        const int draws = bar.panelDraws();
        const int paints = surface.paintCount();

        bar.updateCaption(2, QStringLiteral("Loading Contacts"));
        QCOMPARE(bar.panelDraws(), draws + 1); // that panel only
        QCOMPARE(surface.paintCount(), paints + 1);

        bar.updateCaption(2, QStringLiteral("Loading Contacts"));
        QCoreApplication::processEvents();
        QCOMPARE(bar.panelDraws(), draws + 1);
        QCOMPARE(surface.paintCount(), paints + 1);
    }

    // The bar is drawn over the panel, never erased by a smaller percent, and cleared by any
    // caption, the same one included (listing a folder again ends with the count it had).
    void percentBarIsClearedOnlyByACaption()
    {
        StatusBarSurface surface;
        StatusBar bar;
        bar.createMainPanels(&surface);
        bar.setPercentColour(0x000000FF); // red, to find it
        show(surface, 500);
        const QRect p = bar.panelRect(1);
        const int y = p.center().y();
        const QColor red(255, 0, 0);
        const QColor face = surface.palette().color(QPalette::Button);
        const auto at = [&](int percent) { return p.left() + p.width() * percent / 100 - 3; };

        const int draws = bar.panelDraws();
        bar.showPercent(1, 50);
        QCOMPARE(pixel(surface, at(25), y), red);
        QCOMPARE(pixel(surface, at(75), y), face);
        QCOMPARE(bar.panelDraws(), draws); // drawn over the panel, not a redraw of it
        bar.showPercent(1, 80);
        bar.showPercent(1, 30);
        QCOMPARE(pixel(surface, at(80), y), red);

        bar.updateCaption(1, QStringLiteral("12 Items"));
        QVERIFY(pixel(surface, at(80), y) != red);
        bar.showPercent(1, 100);
        bar.updateCaption(1, QStringLiteral("12 Items"));
        QVERIFY(pixel(surface, p.right() - 4, y) != red);
        // With no bar drawn since, the same caption is not drawn again.
        const int redraws = bar.panelDraws();
        bar.updateCaption(1, QStringLiteral("12 Items"));
        QCOMPARE(bar.panelDraws(), redraws);
    }

    void outOfRangePanelsAreIgnored()
    {
        StatusBarSurface surface;
        StatusBar bar;
        bar.createMainPanels(&surface);
        show(surface, 300);
        const int draws = bar.panelDraws();
        for (int number : {-1, 0, 3}) {
            bar.updateCaption(number, QStringLiteral("x"));
            bar.showPercent(number, 50);
            bar.setFontBold(number, true);
            bar.changePanel(number, panel(StatusBar::Count, QStringLiteral("y")));
        }
        QCOMPARE(bar.panelDraws(), draws);
        QCOMPARE(bar.caption(1), QString());
        QCOMPARE(bar.caption(2), QString());
    }

    void mainPanels()
    {
        StatusBarSurface surface;
        StatusBar bar;
        bar.createMainPanels(&surface);
        QCOMPARE(bar.panelCount(), 2);
        show(surface, 640);
        const QFontMetrics metrics(surface.font());
        // Panel 1 holds any count; panel 2 takes the rest of the bar.
        const int counts = bar.panelRect(1).width();
        QVERIFY(counts > metrics.horizontalAdvance(QStringLiteral("100000 Items")));
        QVERIFY(bar.panelRect(2).right() >= surface.width() - 5);
        QVERIFY(bar.panelRect(1).height() >= metrics.height());

        // Resizing the surface lays the bar out again: only the spring changes.
        const int activity = bar.panelRect(2).width();
        surface.resize(400, surface.height());
        QCoreApplication::processEvents();
        QCOMPARE(bar.panelRect(1).width(), counts);
        QCOMPARE(bar.panelRect(2).width(), activity - 240);
    }
};

QTEST_MAIN(StatusBarTest)
#include "StatusBarTest.moc"
