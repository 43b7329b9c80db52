#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace corvel {

// How the tools of the command bar are grouped.
enum class ToolCategory
{
    Folders,
    Tools,
    Options,
    Help,
    BuiltInMenus,
};

// One command of the bar. The same tool can stand in several bands; its states are shared.
struct ToolDef
{
    QString name;
    QString menuCaption;    // in menus and the right-click band, with its & accelerator
    QString toolbarCaption; // in the toolbar; empty for tools that are never there
    QString description;    // tool tip and status tip
    ToolCategory category = ToolCategory::Tools;
    QString shortcut; // portable key text ("F5"), empty when none
    QString subBand;  // band that drops down when the tool is picked
    bool checkable = false;
    bool initiallyVisible = true;
};

struct BandEntry
{
    QString tool;
    bool beginsGroup = false;
    QString caption; // this band's own caption of the tool; empty: the tool's usual one
};

enum class BandKind
{
    MenuBar,
    Toolbar,
    Popup, // a drop-down menu, a sub-menu or the right-click band
};

struct BandDef
{
    QString name;
    QString caption;
    BandKind kind = BandKind::Popup;
    std::vector<BandEntry> entries;
};

// The layout of the main window's command bar: every tool and every band, as data. The
// widgets are built from it and never add tools of their own.
class CommandTable
{
public:
    CommandTable();

    [[nodiscard]] const std::vector<ToolDef> &tools() const { return m_tools; }
    [[nodiscard]] const std::vector<BandDef> &bands() const { return m_bands; }
    // Names match without regard to letter case; nullptr when there is no such tool or band.
    [[nodiscard]] const ToolDef *tool(QStringView name) const;
    [[nodiscard]] const BandDef *band(QStringView name) const;
    // The text the tool shows in that band.
    [[nodiscard]] QString captionIn(const BandDef &band, const BandEntry &entry) const;

private:
    std::vector<ToolDef> m_tools;
    std::vector<BandDef> m_bands;
};

} // namespace corvel
