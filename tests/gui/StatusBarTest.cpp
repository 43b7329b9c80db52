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
    void noPanelsHidesTheSurface();
    void fixedPanelsTakeTheirSampleWidth_data();
    void fixedPanelsTakeTheirSampleWidth();
    void springPanelsShareTheRest();
    void springPanelsWithoutRoomAreNotDrawn();
    void updateCaptionDrawsOnlyOnChange();
    void percentBarIsClearedOnlyByACaption();
    void outOfRangePanelsAreIgnored();
    void changePanelKeepsOmittedCaption();
    void mainPanels();
};

void StatusBarTest::noPanelsHidesTheSurface()
{
    StatusBarSurface surface;
    surface.show();
    StatusBar bar;
    bar.initializeStatusBar(&surface);
    QVERIFY(surface.isHidden());
}

void StatusBarTest::fixedPanelsTakeTheirSampleWidth_data()
{
    // What each kind of fixed panel must have room for.
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("longest");
    QTest::newRow("date") << int(StatusBar::Date) << QStringLiteral("12/31/2026");
    QTest::newRow("caps") << int(StatusBar::CapsLock) << QStringLiteral("CAP");
}

void StatusBarTest::fixedPanelsTakeTheirSampleWidth()
{
    QFETCH(int, kind);
    QFETCH(QString, longest);
    const auto widthWith = [kind](const QString &caption, int surfaceWidth) {
        StatusBarSurface surface;
        StatusBar bar;
        bar.addPanel(panel(kind, caption));
        bar.addPanel(panel(StatusBar::Spring));
        bar.initializeStatusBar(&surface);
        show(surface, surfaceWidth);
        // The spring follows the fixed panel without overlapping it.
        [&] { QVERIFY(bar.panelRect(2).left() > bar.panelRect(1).right()); }();
        return bar.panelRect(1).width();
    };
    const int width = widthWith(QString(), 600);
    QVERIFY2(width > QFontMetrics(StatusBarSurface().font()).horizontalAdvance(longest),
             qPrintable(QString::number(width)));
    // Neither the caption nor the room there is changes a fixed panel.
    QCOMPARE(widthWith(QStringLiteral("a much longer caption than any sample"), 600), width);
    QCOMPARE(widthWith(QString(), 900), width);
}

void StatusBarTest::springPanelsShareTheRest()
{
    StatusBarSurface surface;
    StatusBar bar;
    bar.addPanel(panel(StatusBar::Spring));
    bar.addPanel(panel(StatusBar::Spring));
    bar.initializeStatusBar(&surface);
    show(surface, 303);
    const QRect first = bar.panelRect(1);
    const QRect second = bar.panelRect(2);
    QVERIFY(qAbs(first.width() - second.width()) <= 1);
    QVERIFY(first.right() < second.left() && second.right() < surface.width());
    QVERIFY(first.width() + second.width() >= surface.width() - 10);
}

void StatusBarTest::springPanelsWithoutRoomAreNotDrawn()
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

void StatusBarTest::updateCaptionDrawsOnlyOnChange()
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

    // The caption is on the surface, inside panel 2 only.
    const QRect inside = bar.panelRect(2).adjusted(3, 2, -3, -2);
    const QColor face = surface.palette().color(QPalette::Button);
    bool inked = false;
    for (int x = inside.left(); x < inside.left() + 60 && !inked; ++x) {
        for (int y = inside.top(); y <= inside.bottom() && !inked; ++y)
            inked = pixel(surface, x, y) != face;
    }
    QVERIFY(inked);
}

// The bar is drawn over the panel, never erased by a smaller percent, and cleared by any
// caption, the same one included (listing a folder again ends with the count it had).
void StatusBarTest::percentBarIsClearedOnlyByACaption()
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
    bar.showPercent(1, 0);
    bar.showPercent(1, 101);
    QCOMPARE(pixel(surface, p.left() + 2, y), face);
    bar.showPercent(1, 50);
    QCOMPARE(pixel(surface, at(25), y), red);
    QCOMPARE(pixel(surface, at(75), y), face);
    QCOMPARE(bar.panelDraws(), draws); // drawn over the panel, not a redraw of it

    bar.showPercent(1, 80);
    const int paints = surface.paintCount();
    bar.showPercent(1, 30);
    QCOMPARE(pixel(surface, at(80), y), red);
    QCOMPARE(surface.paintCount(), paints); // nothing new to show

    bar.updateCaption(1, QStringLiteral("12 Items"));
    QVERIFY(pixel(surface, at(80), y) != red);
    bar.showPercent(1, 30); // after a redraw a short bar shows again
    QCOMPARE(pixel(surface, p.left() + 3, y), red);
    bar.showPercent(1, 100);
    QCOMPARE(pixel(surface, p.right() - 4, y), red);
    bar.updateCaption(1, QStringLiteral("12 Items"));
    QVERIFY(pixel(surface, p.right() - 4, y) != red);
    QCOMPARE(bar.caption(1), QStringLiteral("12 Items"));
    // With no bar drawn since, the same caption is not drawn again.
    const int redraws = bar.panelDraws();
    bar.updateCaption(1, QStringLiteral("12 Items"));
    QCOMPARE(bar.panelDraws(), redraws);
}

void StatusBarTest::outOfRangePanelsAreIgnored()
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

void StatusBarTest::changePanelKeepsOmittedCaption()
{
    StatusBarSurface surface;
    StatusBar bar;
    bar.addPanel(panel(StatusBar::Spring, QStringLiteral("Ready")));
    StatusBar::PanelStyle change;
    change.kind = StatusBar::CapsLock;
    change.frameType = StatusBar::Raised;
    bar.changePanel(1, change);
    bar.initializeStatusBar(&surface);
    show(surface, 300);
    QCOMPARE(bar.caption(1), QStringLiteral("Ready"));
    // Now a fixed panel: narrower than the surface, whatever its caption.
    QVERIFY(bar.panelRect(1).width() < 100);
}

void StatusBarTest::mainPanels()
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

QTEST_MAIN(StatusBarTest)
#include "StatusBarTest.moc"
