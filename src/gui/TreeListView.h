#pragma once

#include "gui/NodePictures.h"
#include "presentation/TreeSurface.h"
#include "tree/TreeList.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <vector>

class QStyleOptionViewItem;

namespace corvel {

class RowFinder;

// Draws a TreeList and turns the user's mouse and keys into changes of its expansion,
// selection and current node, and into the tree's events for whoever handles them.
//
// Painted by hand rather than through QTreeView: a node with a column layout shows a
// heading row of its own directly below it and its children in that node's columns, and
// the tree's selection stays the only one, so nothing has to be kept in step for 100,000
// rows. Only the rows in sight are touched when painting; the list of shown rows is
// rebuilt when the tree's structure or an expansion changes.
//
// Mouse coordinates in the signals are in pixels of the viewport.
class TreeListView : public QAbstractScrollArea, public TreeSurface
{
    Q_OBJECT

public:
    explicit TreeListView(TreeList &tree, QWidget *parent = nullptr);
    ~TreeListView() override;

    [[nodiscard]] TreeList &tree() const { return m_tree; }

    // The display index of the node at a point of the viewport in pixels; -1 on a heading
    // row or below the last row.
    [[nodiscard]] int NodeAt(int x, int y) const override;
    [[nodiscard]] NodeHandle nodeUnder(QPoint viewportPos) const;
    // Where a node is drawn in the viewport; empty when it is not shown (a collapsed parent).
    [[nodiscard]] QRect visualRect(NodeHandle node) const;
    // The open/close box of a node that has one, in the viewport; empty otherwise.
    [[nodiscard]] QRect expanderRect(NodeHandle node) const;
    // Where the edge after `column` of the heading row below `node` is, in viewport pixels;
    // -1 when that row is not shown.
    [[nodiscard]] int headingEdgeX(NodeHandle node, int column) const;
    void scrollTo(NodeHandle node);
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }
    // Rows shown (nodes under expanded parents and heading rows), whether in sight or not.
    [[nodiscard]] int shownRowCount() const;

    // The node drag: begin runs the drag of the selection until it is dropped or cancelled;
    // over highlights the node under the pointer and scrolls near the edges; end clears that.
    void DragBegin() override;
    void DragOver(int x, int y, int state) override;
    void DragEnd(int x, int y) override;
    [[nodiscard]] NodeHandle dropHighlight() const { return m_dropTarget; }

    // Asks for the right-click band where the mouse button was last released.
    void PopupMenu() override;
    // The hourglass over the tree and back.
    void showBusyPointer() override;
    void restorePointer() override;

    // Rows the finder hides are left out; null shows every row. The finder outlives the view
    // or is unset first; rowFilterChanged() shows what its new text keeps.
    void setRowFilter(RowFinder *finder);
    void rowFilterChanged();

    // Said in the space below the last row while there is room for it; empty says nothing.
    void setEmptyAreaText(const QString &text);
    [[nodiscard]] const QString &emptyAreaText() const { return m_emptyAreaText; }

    // The mime type a node drag carries; drops of anything else are not taken.
    static QString dragMimeType();

Q_SIGNALS:
    // Printable text typed with no command key held: the user starts to find a row.
    void findTyped(const QString &text);
    void Click();
    void DblClick();
    void PictureClick();
    void PlusMinusClick(int index);
    void GridCellClick(int index, int column);
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void DragOverEvent(int x, int y, int state);
    void DragDrop(int x, int y);
    // The right-click band belongs at this screen position.
    void contextMenuRequested(const QPoint &globalPos);
    // The user gave a column of the node's layout a new width (already stored in the layout).
    void columnResized(NodeHandle node, int column, int width);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class RowKind : quint8
    {
        Node,
        Heading,
    };
    struct Row
    {
        NodeHandle node; // for a heading row, the node whose layout it shows
        RowKind kind = RowKind::Node;
        bool expanded = false; // as it was when the rows were listed
    };
    enum class Part
    {
        None,
        Expander,
        Picture,
        Caption,
        Cell,
        Heading,
        HeadingEdge,
    };
    struct Hit
    {
        int row = -1;
        Part part = Part::None;
        int column = -1;
    };
    struct ColumnSpan
    {
        int left = 0;
        int width = 0;
    };

    void onTreeRefresh();
    void ensureRows() const;
    void rebuildRows() const;
    void updateScrollBars();
    void updateMetrics();
    [[nodiscard]] int rowAtY(int y) const;
    [[nodiscard]] int rowOf(NodeHandle node, RowKind kind = RowKind::Node) const;
    [[nodiscard]] int indentOf(int level) const;
    [[nodiscard]] int contentLeft(int row) const; // where the row's picture slot starts
    [[nodiscard]] NodeHandle gridOwner(int row) const;
    [[nodiscard]] std::vector<ColumnSpan> columnSpans(NodeHandle owner, int left) const;
    [[nodiscard]] Hit hitTest(QPoint pos) const;

    void paintNodeRow(QPainter &painter, int row, const QRect &rect, bool active);
    // The cells of a row in its owner's grid from start's left edge; returns their right
    // edge, -1 when the grid has no columns.
    int paintCells(QPainter &painter, NodeHandle node, NodeHandle owner, const QRect &start,
                   const QColor &text, bool selected);
    void paintHeadingRow(QPainter &painter, int row, const QRect &rect);
    void paintEmptyArea(QPainter &painter, int rowsBottom);
    // A folder's first listing: widths to fit the heading and the first rows.
    void fitColumnsOnce(NodeHandle owner);

    void toggleExpanded(NodeHandle node);
    void selectOnly(NodeHandle node);
    void selectRange(int fromRow, int toRow, bool keepOthers);
    void moveCurrentByKey(int key, Qt::KeyboardModifiers modifiers);
    void autoScrollStep();

    TreeList &m_tree;
    NodePictures m_pictures;

    mutable std::vector<Row> m_rows;
    mutable quint64 m_rowsStamp = ~quint64(0);
    mutable bool m_scrollRangeStale = true; // rows rebuilt since the scroll ranges were set
    mutable bool m_rowsDirty = true;
    RowFinder *m_rowFilter = nullptr;
    int m_rowHeight = 18;
    int m_indent = 18;
    int m_contentWidth = 0;
    NodeHandle m_lastCurrent;
    QString m_emptyAreaText;

    NodeHandle m_anchor; // where a Shift range starts
    NodeHandle m_pressNode;
    Hit m_pressHit;
    bool m_pressChangedSelection = false;
    NodeHandle m_deferredSingleSelect; // a plain press inside a selection: decided on release
    bool m_dragStarted = false;

    NodeHandle m_resizeOwner; // a heading edge being dragged
    int m_resizeColumn = -1;
    int m_resizeStartX = 0;
    int m_resizeStartWidth = 0;

    NodeHandle m_dropTarget;
    int m_autoScrollDirection = 0;
    QBasicTimer m_autoScrollTimer;
    bool m_busyPointer = false;
    QPoint m_lastReleaseGlobal;
};

} // namespace corvel
