#include "gui/cQXStatBar.h"
#include "gui/StatusBarSurface.h"
#include "gui/StoredColour.h"

#include <QFontMetrics>
#include <QtTest>

using namespace corvel;

namespace {

cQXStatBar::PanelStyle panel(int kind, const QString &caption = {})
{
    cQXStatBar::PanelStyle style;
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

class cQXStatBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noPanelsHidesTheSurface();
    void fixedPanelsTakeTheirSampleWidth_data();
    void fixedPanelsTakeTheirSampleWidth();
    void springPanelsShareTheRest();
    void springPanelsWithoutRoomAreNotDrawn();
    void updateCaptionDrawsOnlyOnChange();
    void showPercentGeometry();
    void showPercentNeverErases();
    void outOfRangePanelsAreIgnored();
    void changePanelKeepsOmittedCaption();
    void mainPanels();
};

void cQXStatBarTest::noPanelsHidesTheSurface()
{
    StatusBarSurface surface;
    surface.show();
    cQXStatBar bar;
    bar.InitializeStatusBar(&surface);
    QVERIFY(surface.isHidden());
}

void cQXStatBarTest::fixedPanelsTakeTheirSampleWidth_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("sample");
    QTest::newRow("date") << 1 << QStringLiteral("XX/XX/XXXX");
    QTest::newRow("time") << 2 << QStringLiteral("XX:XX xx");
    QTest::newRow("eight") << 3 << QStringLiteral("XXXXXXXX");
    QTest::newRow("caps") << 4 << QStringLiteral("CAP");
    QTest::newRow("num") << 5 << QStringLiteral("NUM");
    QTest::newRow("scroll") << 6 << QStringLiteral("SCR");
    QTest::newRow("small") << 7 << QStringLiteral("XXXX");
    QTest::newRow("counts") << 8 << QStringLiteral("XXXXXXXXXXXXXXX");
}

void cQXStatBarTest::fixedPanelsTakeTheirSampleWidth()
{
    QFETCH(int, kind);
    QFETCH(QString, sample);
    StatusBarSurface surface;
    cQXStatBar bar;
    // The caption does not size the panel.
    bar.AddPanel(panel(kind, QStringLiteral("a much longer caption than the sample")));
    bar.AddPanel(panel(cQXStatBar::Spring));
    bar.InitializeStatusBar(&surface);
    show(surface, 600);
    const int expected = QFontMetrics(surface.font()).horizontalAdvance(sample) + 6;
    QCOMPARE(bar.panelRect(1).width(), expected);
    QCOMPARE(bar.panelRect(1).left(), 1);
    QCOMPARE(bar.panelRect(2).left(), 1 + expected + 2);
}

void cQXStatBarTest::springPanelsShareTheRest()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.AddPanel(panel(cQXStatBar::Spring));
    bar.AddPanel(panel(cQXStatBar::Spring));
    bar.InitializeStatusBar(&surface);
    // Inner width 303 - 2 = 301; less 2 for the edge and 2 for the gap: 297 to share.
    show(surface, 303);
    QCOMPARE(bar.panelRect(1).width(), 148);
    QCOMPARE(bar.panelRect(2).width(), 148);
    QCOMPARE(bar.panelRect(2).left(), 1 + 148 + 2);
    // Panels stand 1 pixel below the top, as high as the inner height less 2.
    QCOMPARE(bar.panelRect(1).top(), 1);
    QCOMPARE(bar.panelRect(1).height(), surface.height() - 4);
}

void cQXStatBarTest::springPanelsWithoutRoomAreNotDrawn()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.AddPanel(panel(cQXStatBar::Count));
    bar.AddPanel(panel(cQXStatBar::Spring));
    bar.InitializeStatusBar(&surface);
    show(surface, 40); // narrower than the fixed panel
    QVERIFY(bar.panelRect(2).isEmpty());
    const int draws = bar.panelDraws();
    bar.UpdateCaption(2, QStringLiteral("Loading Folders"));
    QCOMPARE(bar.caption(2), QStringLiteral("Loading Folders"));
    QCOMPARE(bar.panelDraws(), draws);
}

void cQXStatBarTest::updateCaptionDrawsOnlyOnChange()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.CreateMainPanels(&surface);
    show(surface, 500);
    QCoreApplication::processEvents();
    const int draws = bar.panelDraws();
    const int paints = surface.paintCount();

    bar.UpdateCaption(2, QStringLiteral("Loading Contacts"));
    QCOMPARE(bar.panelDraws(), draws + 1); // that panel only
    QCOMPARE(surface.paintCount(), paints + 1);

    bar.UpdateCaption(2, QStringLiteral("Loading Contacts"));
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

void cQXStatBarTest::showPercentGeometry()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.CreateMainPanels(&surface);
    bar.PctColor(0x000000FF); // red, to find it
    show(surface, 500);
    const QRect p = bar.panelRect(1);
    const QColor red(255, 0, 0);
    const QColor face = surface.palette().color(QPalette::Button);

    const int draws = bar.panelDraws();
    bar.ShowPercent(1, 0);
    bar.ShowPercent(1, 101);
    QCOMPARE(pixel(surface, p.left() + 2, p.center().y()), face);

    bar.ShowPercent(1, 50);
    const int right = p.left() + p.width() * 50 / 100 - 2; // first pixel past the bar
    QCOMPARE(pixel(surface, p.left() + 2, p.top() + 2), red);
    QCOMPARE(pixel(surface, right - 1, p.center().y()), red);
    QCOMPARE(pixel(surface, right, p.center().y()), face);
    QCOMPARE(pixel(surface, p.left() + 1, p.center().y()), face);
    QCOMPARE(pixel(surface, p.left() + 2, p.top() + 1), face);
    QCOMPARE(bar.panelDraws(), draws); // drawn over the panel, not a redraw of it

    bar.ShowPercent(1, 100);
    QCOMPARE(pixel(surface, p.left() + p.width() - 3, p.center().y()), red);
    QCOMPARE(pixel(surface, p.left() + p.width() - 2, p.center().y()), face);
}

void cQXStatBarTest::showPercentNeverErases()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.CreateMainPanels(&surface);
    bar.PctColor(0x000000FF);
    show(surface, 500);
    const QRect p = bar.panelRect(1);
    const QColor red(255, 0, 0);
    const int at80 = p.left() + p.width() * 80 / 100 - 3;

    bar.ShowPercent(1, 80);
    const int paints = surface.paintCount();
    bar.ShowPercent(1, 30);
    QCOMPARE(pixel(surface, at80, p.center().y()), red);
    QCOMPARE(surface.paintCount(), paints); // nothing new to show

    // A new caption redraws the panel, which clears the bar.
    bar.UpdateCaption(1, QStringLiteral("12 Items"));
    QVERIFY(pixel(surface, at80, p.center().y()) != red);
    // And after a redraw a short bar shows again.
    bar.ShowPercent(1, 30);
    QCOMPARE(pixel(surface, p.left() + 3, p.center().y()), red);
}

void cQXStatBarTest::outOfRangePanelsAreIgnored()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.CreateMainPanels(&surface);
    show(surface, 300);
    const int draws = bar.panelDraws();
    for (int number : {-1, 0, 3}) {
        bar.UpdateCaption(number, QStringLiteral("x"));
        bar.ShowPercent(number, 50);
        bar.FontBold(number, true);
        bar.ChangePanel(number, panel(cQXStatBar::Count, QStringLiteral("y")));
    }
    QCOMPARE(bar.panelDraws(), draws);
    QCOMPARE(bar.caption(1), QString());
    QCOMPARE(bar.caption(2), QString());
}

void cQXStatBarTest::changePanelKeepsOmittedCaption()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.AddPanel(panel(cQXStatBar::Spring, QStringLiteral("Ready")));
    cQXStatBar::PanelStyle change;
    change.kind = cQXStatBar::CapsLock;
    change.frameType = cQXStatBar::Raised;
    bar.ChangePanel(1, change);
    bar.InitializeStatusBar(&surface);
    show(surface, 300);
    QCOMPARE(bar.caption(1), QStringLiteral("Ready"));
    QCOMPARE(bar.panelRect(1).width(),
             QFontMetrics(surface.font()).horizontalAdvance(QStringLiteral("CAP")) + 6);
    // A raised frame: highlight at the top left, shadow at the bottom right.
    const QRect p = bar.panelRect(1);
    const QPalette &pal = surface.palette();
    QCOMPARE(pixel(surface, p.left(), p.center().y()).rgb(),
             StoredColour::toColor(StoredColour::ButtonHighlight, pal).rgb());
    QCOMPARE(pixel(surface, p.right(), p.center().y()).rgb(),
             StoredColour::toColor(StoredColour::ButtonShadow, pal).rgb());
}

void cQXStatBarTest::mainPanels()
{
    StatusBarSurface surface;
    cQXStatBar bar;
    bar.CreateMainPanels(&surface);
    QCOMPARE(bar.panelCount(), 2);
    show(surface, 640);
    const int fixed =
        QFontMetrics(surface.font()).horizontalAdvance(QString(15, QLatin1Char('X'))) + 6;
    QCOMPARE(bar.panelRect(1).width(), fixed);
    QCOMPARE(bar.panelRect(2).width(), 640 - 2 - 2 - 2 - fixed);
    // The surface is as high as a caption plus edges and margins.
    QCOMPARE(surface.height(),
             QFontMetrics(surface.font()).boundingRect(QStringLiteral("TEST")).height() + 8);

    // Resizing the surface lays the bar out again.
    surface.resize(400, surface.height());
    QCoreApplication::processEvents();
    QCOMPARE(bar.panelRect(2).width(), 400 - 2 - 2 - 2 - fixed);
}

QTEST_MAIN(cQXStatBarTest)
#include "cQXStatBarTest.moc"
