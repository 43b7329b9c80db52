#pragma once

#include "tree/NodeKinds.h"
#include "tree/TreeList.h"

#include <QString>
#include <Qt>

namespace corvel {

class CommandHost;
class DialogHost;
class StatusPanels;
class TreeSurface;

// The main tree's event handlers: keeps selIndex, the command states and the status
// summary in step with the selection, maps keys and the double-click to group commands,
// turns a mouse drag into a drag of nodes and takes drops of contacts on Standard Mail
// Groups. Mouse coordinates are in pixels, as the tree reports them.
class TreeInteraction
{
public:
    struct Context
    {
        TreeList &tree;
        TreeSurface &surface;
        CommandHost &commands;
        StatusPanels &status;
        DialogHost &dialogs;
    };

    // Movement beyond this many pixels from the press point starts a drag.
    static constexpr int DragThreshold = 3;

    explicit TreeInteraction(const Context &context);

    // The node last selected or pointed at; -1 when none. 0 when the window opens.
    [[nodiscard]] int selIndex() const { return m_selIndex; }

    void tlMain_Click();
    void tlMain_PictureClick();
    void tlMain_PlusMinusClick();
    void tlMain_GridCellClick();
    void tlMain_DblClick();
    void tlMain_KeyDown(int key, Qt::KeyboardModifiers shift);
    void tlMain_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void tlMain_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
    void tlMain_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void tlMain_DragOver(int x, int y, int state);
    void tlMain_DragDrop(int x, int y);

    // Escape at window level: the selection back to the current node, then the click handling.
    void escape();
    // Reduces the tree's selection to its current node.
    void clearTreeMultiSelection();

    [[nodiscard]] static QString dropOnGroupOnlyMessage();
    [[nodiscard]] static QString dropContactsOnlyMessage();

private:
    void clickHandling();
    [[nodiscard]] NodeKind currentKind() const;
    [[nodiscard]] QString dynamicGroupSummary(NodeHandle group) const;
    void refuseDrop(const QString &message);

    TreeList &m_tree;
    TreeSurface &m_surface;
    CommandHost &m_commands;
    StatusPanels &m_status;
    DialogHost &m_dialogs;

    int m_selIndex = 0;
    qint16 m_pressX = 0; // 0, 0: no press pending
    qint16 m_pressY = 0;
};

} // namespace corvel
