#pragma once

#include "support/StatusPanels.h"

#include <QFont>
#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace corvel {

class StatusBarSurface;

// A status bar of panels drawn on a StatusBarSurface: each panel shows a caption in a
// raised, inset or flat frame, optionally in a three-dimensional font, and can show a
// percent bar. Fixed panels are as wide as their kind's sample text; spring panels share
// what is left. Panels are numbered from 1; sizes are in pixels.
class StatusBar : public StatusPanels
{
public:
    enum FrameType : int
    {
        Inset = 0,
        Raised = 1,
        Flat = 2,
    };
    enum Kind : int
    {
        Spring = 0,
        Date = 1,
        Time = 2,
        Eight = 3,
        CapsLock = 4,
        NumLock = 5,
        ScrollLock = 6,
        Small = 7,
        Count = 8,
    };
    // What addPanel and changePanel take; an unset caption, font name or font size keeps
    // the panel's own (empty at first, where the font comes from the surface).
    struct PanelStyle
    {
        std::optional<QString> caption;
        int frameType = Inset;
        int kind = Spring;
        std::optional<QString> fontName;
        std::optional<QString> fontSize; // points, as text
        quint32 fontColour = 0x80000012; // system button text
        bool threeD = false;
        bool bold = false;
    };

    StatusBar() = default;
    ~StatusBar() override;
    StatusBar(const StatusBar &) = delete;
    StatusBar &operator=(const StatusBar &) = delete;

    void setPercentColour(quint32 colour) { m_percentColour = colour; }
    void showPercent(int panel, int percent) override;
    void setFontBold(int panel, bool bold);
    // Returns the new panel's number.
    int addPanel(const PanelStyle &style);
    void changePanel(int panel, const PanelStyle &style);
    // Takes the surface, sizes it to the panels' fonts and draws the bar; with no panels
    // the surface is hidden. The bar is drawn again whenever the surface is resized.
    void initializeStatusBar(StatusBarSurface *picture);
    void updateCaption(int panel, const QString &caption) override;
    void displayStatusBar();

    // The main window's two panels, both empty in the button-text colour: panel 1 sized for
    // counts and progress, panel 2 a spring for what is going on; then the bar is drawn.
    void createMainPanels(StatusBarSurface *picture);

    [[nodiscard]] int panelCount() const { return static_cast<int>(m_panels.size()); }
    [[nodiscard]] QString caption(int panel) const;
    // Where the panel was last laid out; empty when it got no room.
    [[nodiscard]] QRect panelRect(int panel) const;
    // Panels drawn since creation, for telling whether a call drew anything.
    [[nodiscard]] int panelDraws() const { return m_panelDraws; }

    [[nodiscard]] static QString sampleText(int kind);

private:
    struct Panel
    {
        QString caption;
        QRect rect;
        int frameType = Inset;
        int kind = Spring;
        int alignment = 0;
        bool bold = false;
        bool threeD = false;
        QString fontName;
        QString fontSize;
        quint32 fontColour = 0x80000012;
        int percentRight = 0; // right end of the percent bar drawn since the last redraw
    };

    [[nodiscard]] bool valid(int panel) const { return panel >= 1 && panel <= panelCount(); }
    [[nodiscard]] Panel &at(int panel) { return m_panels[static_cast<size_t>(panel - 1)]; }
    [[nodiscard]] QFont fontOf(const Panel &panel) const;
    void applyStyle(Panel &panel, const PanelStyle &style);
    void drawPanel(QPainter &painter, Panel &panel);
    void drawPanelNow(Panel &panel);

    std::vector<Panel> m_panels;
    QPointer<StatusBarSurface> m_surface;
    QMetaObject::Connection m_resizeConnection;
    quint32 m_percentColour = 0x00800000; // dark blue
    int m_panelDraws = 0;
};

} // namespace corvel
