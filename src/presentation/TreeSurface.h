#pragma once

namespace corvel {

// What the tree's event handlers ask of the tree on screen; points are in pixels of the
// tree's area, as its mouse events report them.
class TreeSurface
{
public:
    enum DragState : int
    {
        DragEnter = 0,
        DragLeave = 1,
        DragOverState = 2,
    };

    virtual ~TreeSurface() = default;

    // The display index of the node at the point, -1 when the point is on no node.
    [[nodiscard]] virtual int NodeAt(int x, int y) const = 0;
    // Starts dragging the selected nodes; returns when they are dropped or the drag is
    // given up (a drop arrives through the tree's drop event).
    virtual void DragBegin() = 0;
    // Highlights the node under the pointer and scrolls when it nears an edge.
    virtual void DragOver(int x, int y, int state) = 0;
    virtual void DragEnd(int x, int y) = 0;
    // Opens the tree's right-click band at the mouse.
    virtual void PopupMenu() = 0;
    virtual void showBusyPointer() = 0;
    virtual void restorePointer() = 0;
};

} // namespace corvel
