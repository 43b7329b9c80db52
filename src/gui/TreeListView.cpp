#include "gui/TreeListView.h"

#include "folders/ItemLists.h"
#include "gui/StoredColour.h"
#include "tree/RowFinder.h"

#include <QApplication>
#include <QDrag>
#include <QHash>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>

#include <algorithm>

namespace corvel {

namespace {

constexpr int ExpanderWidth = 16;
constexpr int PictureGap = 4;
constexpr int CellPadding = 4;
constexpr int EdgeGrip = 3;       // pixels either side of a heading edge that grab it
constexpr int MinColumnWidth = 8; // pixels
constexpr int HeadingExtra = 8;   // the heading's frame around its text
constexpr int AutoScrollMargin = 16;
constexpr int AutoScrollInterval = 60; // ms

// Letters, digits and signs start a find; command keys and a bare space keep their jobs.
bool startsFind(const QKeyEvent &event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event.text();
    return !text.isEmpty() && text.front().isPrint() && !text.front().isSpace();
}

} // namespace

TreeListView::TreeListView(TreeList &tree, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_tree(tree)
{
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setBackgroundRole(QPalette::Base);
    updateMetrics();
    m_tree.setRefreshHandler([this] { onTreeRefresh(); });
    rebuildRows();
    updateScrollBars();
}

TreeListView::~TreeListView()
{
    m_tree.setRefreshHandler({});
    restorePointer();
}

QString TreeListView::dragMimeType()
{
    return QStringLiteral("application/x-corvel-tree-nodes");
}

// --- Rows ----------------------------------------------------------------------------------

void TreeListView::onTreeRefresh()
{
    m_rowsDirty = true;
    ensureRows();
    updateScrollBars();
    const NodeHandle current = m_tree.current();
    if (current != m_lastCurrent && current)
        scrollTo(current);
    m_lastCurrent = current;
    viewport()->update();
}

void TreeListView::ensureRows() const
{
    if (m_tree.isDrawingSuspended() && !m_rows.empty())
        return; // keep what is shown until the tree is redrawn; handles are checked as used
    if (m_rowsDirty || m_rowsStamp != m_tree.structureStamp())
        rebuildRows();
}

void TreeListView::setRowFilter(RowFinder *finder)
{
    m_rowFilter = finder;
    rowFilterChanged();
}

void TreeListView::rowFilterChanged()
{
    m_rowsDirty = true;
    ensureRows();
    updateScrollBars();
    viewport()->update();
}

void TreeListView::rebuildRows() const
{
    m_rows.clear();
    if (m_rowFilter && m_rowFilter->isActive())
        m_rowFilter->refresh(m_tree);
    const int count = m_tree.count();
    for (int i = 0; i < count;) {
        const NodeHandle node = m_tree.at(i);
        if (m_rowFilter && !m_rowFilter->isShown(node)) {
            i += 1 + m_tree.descendantCount(node);
            continue;
        }
        const bool expanded = m_tree.isExpanded(node);
        m_rows.push_back({node, RowKind::Node, expanded});
        if (!expanded) {
            i += 1 + m_tree.descendantCount(node);
            continue;
        }
        if (m_tree.hasColumnLayout(node) && m_tree.columnLayout(node).columnCount() > 1)
            m_rows.push_back({node, RowKind::Heading, expanded});
        ++i;
    }
    m_rowsStamp = m_tree.structureStamp();
    m_rowsDirty = false;
    m_scrollRangeStale = true;
}

int TreeListView::shownRowCount() const
{
    ensureRows();
    return static_cast<int>(m_rows.size());
}

void TreeListView::updateMetrics()
{
    const QFontMetrics metrics(font());
    m_rowHeight = qMax(NodePictures::Size + 4, metrics.height() + 6);
    m_indent = qMax(16, metrics.height() + 2);
}

void TreeListView::updateScrollBars()
{
    ensureRows();
    m_scrollRangeStale = false;
    const int rows = static_cast<int>(m_rows.size());
    const int height = viewport()->height();
    verticalScrollBar()->setSingleStep(m_rowHeight);
    verticalScrollBar()->setPageStep(height);
    verticalScrollBar()->setRange(0, qMax(0, rows * m_rowHeight - height));
    horizontalScrollBar()->setSingleStep(m_indent);
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, m_contentWidth - viewport()->width()));
}

int TreeListView::rowAtY(int y) const
{
    if (y < 0)
        return -1;
    const int row = (y + verticalScrollBar()->value()) / m_rowHeight;
    return row < static_cast<int>(m_rows.size()) ? row : -1;
}

int TreeListView::rowOf(NodeHandle node, RowKind kind) const
{
    ensureRows();
    const int index = m_tree.indexOf(node);
    if (index < 0)
        return -1;
    // Rows are a subsequence of display order with each heading after its node.
    const auto key = [this](const Row &row) {
        return std::pair(m_tree.indexOf(row.node), row.kind == RowKind::Heading ? 1 : 0);
    };
    const std::pair wanted(index, kind == RowKind::Heading ? 1 : 0);
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), wanted,
                                     [&](const Row &row, const auto &k) { return key(row) < k; });
    if (it != m_rows.end() && it->node == node && it->kind == kind)
        return static_cast<int>(it - m_rows.begin());
    // Rows kept through a suspension may be out of order; look them over one by one.
    for (size_t r = 0; r < m_rows.size(); ++r) {
        if (m_rows[r].node == node && m_rows[r].kind == kind)
            return static_cast<int>(r);
    }
    return -1;
}

int TreeListView::indentOf(int level) const
{
    return 4 + level * m_indent;
}

int TreeListView::contentLeft(int row) const
{
    const Row &r = m_rows[static_cast<size_t>(row)];
    const int level = m_tree.level(r.node) + (r.kind == RowKind::Heading ? 1 : 0);
    return indentOf(level) + ExpanderWidth;
}

NodeHandle TreeListView::gridOwner(int row) const
{
    const Row &r = m_rows[static_cast<size_t>(row)];
    if (r.kind == RowKind::Heading)
        return r.node;
    const NodeHandle parent = m_tree.parent(r.node);
    if (parent && m_tree.hasColumnLayout(parent) && m_tree.columnLayout(parent).columnCount() > 1)
        return parent;
    return {};
}

std::vector<TreeListView::ColumnSpan> TreeListView::columnSpans(NodeHandle owner, int left) const
{
    const ColumnLayout &layout = m_tree.columnLayout(owner);
    std::vector<ColumnSpan> spans;
    spans.reserve(layout.columns.size());
    for (const ColumnLayout::Column &column : layout.columns) {
        const int width = qMax(0, column.width);
        spans.push_back({left, width});
        left += width;
    }
    return spans;
}

// --- Points and nodes ------------------------------------------------------------------------

NodeHandle TreeListView::nodeUnder(QPoint viewportPos) const
{
    ensureRows();
    if (viewportPos.x() < 0 || viewportPos.x() >= viewport()->width())
        return {};
    const int row = rowAtY(viewportPos.y());
    if (row < 0 || m_rows[static_cast<size_t>(row)].kind != RowKind::Node)
        return {};
    const NodeHandle node = m_rows[static_cast<size_t>(row)].node;
    return m_tree.isValid(node) ? node : NodeHandle{};
}

int TreeListView::NodeAt(int x, int y) const
{
    return m_tree.indexOf(nodeUnder({x, y}));
}

QRect TreeListView::visualRect(NodeHandle node) const
{
    const int row = rowOf(node);
    if (row < 0)
        return {};
    return {0, row * m_rowHeight - verticalScrollBar()->value(), viewport()->width(), m_rowHeight};
}

QRect TreeListView::expanderRect(NodeHandle node) const
{
    const int row = rowOf(node);
    if (row < 0 || !(m_tree.hasChildren(node) || m_tree.hasColumnLayout(node)))
        return {};
    return {contentLeft(row) - ExpanderWidth - horizontalScrollBar()->value(),
            row * m_rowHeight - verticalScrollBar()->value(), ExpanderWidth, m_rowHeight};
}

int TreeListView::headingEdgeX(NodeHandle node, int column) const
{
    const int row = rowOf(node, RowKind::Heading);
    if (row < 0)
        return -1;
    const auto spans = columnSpans(node, contentLeft(row));
    if (column < 0 || static_cast<size_t>(column) >= spans.size())
        return -1;
    const ColumnSpan &span = spans[static_cast<size_t>(column)];
    return span.left + span.width - horizontalScrollBar()->value();
}

void TreeListView::scrollTo(NodeHandle node)
{
    if (!m_tree.isValid(node))
        return;
    bool expandedAny = false;
    for (NodeHandle p = m_tree.parent(node); p; p = m_tree.parent(p)) {
        if (!m_tree.isExpanded(p)) {
            m_tree.setExpanded(p, true);
            expandedAny = true;
        }
    }
    if (expandedAny) {
        m_rowsDirty = true;
        ensureRows();
        updateScrollBars();
    }
    const int row = rowOf(node);
    if (row < 0)
        return;
    const int top = row * m_rowHeight;
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + m_rowHeight > bar->value() + viewport()->height())
        bar->setValue(top + m_rowHeight - viewport()->height());
    viewport()->update();
}

TreeListView::Hit TreeListView::hitTest(QPoint pos) const
{
    ensureRows();
    Hit hit;
    hit.row = rowAtY(pos.y());
    if (hit.row < 0 || pos.x() < 0 || pos.x() >= viewport()->width())
        return {};
    const Row &row = m_rows[static_cast<size_t>(hit.row)];
    if (!m_tree.isValid(row.node))
        return {};
    const int x = pos.x() + horizontalScrollBar()->value();
    const int left = contentLeft(hit.row);

    if (row.kind == RowKind::Heading) {
        hit.part = Part::Heading;
        const auto spans = columnSpans(row.node, left);
        for (int c = static_cast<int>(spans.size()) - 1; c >= 0; --c) {
            const ColumnSpan &span = spans[static_cast<size_t>(c)];
            if (c == 0 && span.width == 0)
                continue; // a hidden caption column has no edge to grab
            if (qAbs(x - (span.left + span.width)) <= EdgeGrip) {
                hit.part = Part::HeadingEdge;
                hit.column = c;
                break;
            }
        }
        return hit;
    }

    const bool expandable = m_tree.hasChildren(row.node) || m_tree.hasColumnLayout(row.node);
    if (expandable && x >= left - ExpanderWidth && x < left) {
        hit.part = Part::Expander;
        return hit;
    }
    if (const NodeHandle owner = gridOwner(hit.row)) {
        const auto spans = columnSpans(owner, left);
        for (size_t c = 0; c < spans.size(); ++c) {
            if (x >= spans[c].left && x < spans[c].left + spans[c].width) {
                hit.part = c == 0 ? Part::Caption : Part::Cell;
                hit.column = static_cast<int>(c);
                if (c == 0 && NodePictures::exists(m_tree.picture(row.node)) &&
                    x < left + NodePictures::Size)
                    hit.part = Part::Picture;
                return hit;
            }
        }
        hit.part = Part::Caption;
        return hit;
    }
    if (NodePictures::exists(m_tree.picture(row.node)) && x >= left &&
        x < left + NodePictures::Size)
        hit.part = Part::Picture;
    else
        hit.part = Part::Caption;
    return hit;
}

// --- Painting ------------------------------------------------------------------------------

void TreeListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().brush(QPalette::Base));

    ensureRows();
    const int scrollY = verticalScrollBar()->value();
    const int first = qMax(0, (area.top() + scrollY) / m_rowHeight);
    const int last =
        qMin(static_cast<int>(m_rows.size()) - 1, (area.bottom() + scrollY) / m_rowHeight);

    const bool active = hasFocus() || (window() && window()->isActiveWindow());
    const int widthBefore = m_contentWidth;
    for (int r = first; r <= last; ++r) {
        const Row &row = m_rows[static_cast<size_t>(r)];
        if (!m_tree.isValid(row.node))
            continue;
        const QRect rect(-horizontalScrollBar()->value(), r * m_rowHeight - scrollY,
                         qMax(m_contentWidth, viewport()->width() + horizontalScrollBar()->value()),
                         m_rowHeight);
        // Style primitives may leave a clip or pen behind them.
        painter.save();
        if (row.kind == RowKind::Heading)
            paintHeadingRow(painter, r, rect);
        else
            paintNodeRow(painter, r, rect, active);
        painter.restore();
    }
    paintEmptyArea(painter, static_cast<int>(m_rows.size()) * m_rowHeight - scrollY);
    // Rows rebuilt for an expansion changed without a redraw, or a wider content, need new
    // scroll ranges; they are set after the paint.
    if (m_contentWidth != widthBefore || m_scrollRangeStale)
        QMetaObject::invokeMethod(
            this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
}

void TreeListView::setEmptyAreaText(const QString &text)
{
    if (text == m_emptyAreaText)
        return;
    m_emptyAreaText = text;
    viewport()->update();
}

void TreeListView::paintEmptyArea(QPainter &painter, int rowsBottom)
{
    if (m_emptyAreaText.isEmpty())
        return;
    const int margin = m_rowHeight;
    const QRect room(margin, rowsBottom + margin, viewport()->width() - 2 * margin,
                     viewport()->height() - rowsBottom - 2 * margin);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    // Half a sentence would read as a different instruction: all of it or nothing.
    if (room.width() <= 0 ||
        painter.boundingRect(room, flags, m_emptyAreaText).height() > room.height())
        return;
    painter.save();
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(room, flags, m_emptyAreaText);
    painter.restore();
}

void TreeListView::fitColumnsOnce(NodeHandle owner)
{
    if (m_tree.value(owner, ItemLists::fitColumnsValue()).toInt() != 1)
        return;
    m_tree.setValue(owner, ItemLists::fitColumnsValue(), QString());
    // The first rows stand for the rest: measuring 100,000 would stall the first paint.
    constexpr size_t Sampled = 200;
    ColumnLayout layout = m_tree.columnLayout(owner);
    const QFontMetrics metrics = fontMetrics();
    const std::vector<NodeHandle> rows = m_tree.children(owner);
    const size_t sampled = std::min(rows.size(), Sampled);
    // A column of long notes must not push the others out of sight.
    const int widest = qMax(MinColumnWidth, viewport()->width() / 2);
    for (size_t c = 1; c < layout.columns.size(); ++c) {
        ColumnLayout::Column &column = layout.columns[c];
        int text = metrics.horizontalAdvance(column.heading) + HeadingExtra;
        for (size_t i = 0; i < sampled; ++i)
            text = qMax(text, metrics.horizontalAdvance(
                                  m_tree.value(rows[i], column.boundValue).toString()));
        column.width = std::clamp(text + 2 * CellPadding + 1, MinColumnWidth, widest);
    }
    m_tree.setColumnLayout(owner, layout);
}

int TreeListView::paintCells(QPainter &painter, NodeHandle node, NodeHandle owner,
                             const QRect &start, const QColor &text, bool selected)
{
    fitColumnsOnce(owner);
    const ColumnLayout &layout = m_tree.columnLayout(owner);
    const auto spans = columnSpans(owner, start.left());
    QColor gridColour = StoredColour::toColor(layout.gridColour, palette());
    gridColour.setAlpha(110);
    const int picture = m_tree.picture(node);
    const int pictureTop = start.top() + (start.height() - NodePictures::Size) / 2;
    const QFontMetrics metrics = fontMetrics();
    for (size_t c = 0; c < spans.size(); ++c) {
        const ColumnSpan &span = spans[c];
        if (span.width <= 0)
            continue;
        QRect cell(span.left, start.top(), span.width, start.height());
        QString value;
        if (c == 0) {
            if (NodePictures::exists(picture) && span.width >= NodePictures::Size) {
                painter.drawPixmap(cell.left(), pictureTop,
                                   m_pictures.picture(picture, devicePixelRatioF()));
                cell.setLeft(cell.left() + NodePictures::Size);
            }
            value = m_tree.caption(node);
        } else {
            value = m_tree.value(node, layout.columns[c].boundValue).toString();
        }
        const QRect textRect = cell.adjusted(CellPadding, 0, -CellPadding, 0);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         metrics.elidedText(value, Qt::ElideRight, textRect.width()));
        if (!selected) {
            painter.setPen(gridColour);
            painter.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
            painter.setPen(text);
        }
    }
    return spans.empty() ? -1 : spans.back().left + spans.back().width;
}

void TreeListView::paintNodeRow(QPainter &painter, int r, const QRect &rect, bool active)
{
    const Row &row = m_rows[static_cast<size_t>(r)];
    const NodeHandle node = row.node;
    const QPalette &pal = palette();
    const QPalette::ColorGroup group = active ? QPalette::Active : QPalette::Inactive;
    const bool selected = m_tree.isSelected(node);
    const QRect full(0, rect.top(), viewport()->width(), rect.height());

    if (selected)
        painter.fillRect(full, pal.brush(group, QPalette::Highlight));
    if (node == m_dropTarget) {
        QColor fill = pal.color(QPalette::Highlight);
        fill.setAlpha(48);
        painter.fillRect(full, fill);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 2));
        painter.drawRect(full.adjusted(1, 1, -1, -1));
    }

    const int left = rect.left() + contentLeft(r);
    if (m_tree.hasChildren(node) || m_tree.hasColumnLayout(node)) {
        QStyleOption option;
        option.initFrom(this);
        option.rect = QRect(left - ExpanderWidth, rect.top(), ExpanderWidth, rect.height());
        option.state = QStyle::State_Item | QStyle::State_Children | QStyle::State_Enabled;
        if (row.expanded)
            option.state |= QStyle::State_Open;
        if (selected)
            option.palette.setColor(QPalette::ButtonText,
                                    pal.color(group, QPalette::HighlightedText));
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter, this);
    }

    const QColor text = selected ? pal.color(group, QPalette::HighlightedText)
                                 : StoredColour::toColor(m_tree.colour(node), pal);
    painter.setPen(text);
    if (const NodeHandle owner = gridOwner(r)) {
        const int right = paintCells(painter, node, owner,
                                     QRect(left, rect.top(), 0, rect.height()), text, selected);
        if (right >= 0)
            m_contentWidth = qMax(m_contentWidth, right - rect.left() + 4);
    } else {
        const int picture = m_tree.picture(node);
        const int pictureTop = rect.top() + (rect.height() - NodePictures::Size) / 2;
        const qreal dpr = devicePixelRatioF();
        const QFontMetrics metrics = fontMetrics();
        int x = left;
        if (NodePictures::exists(picture)) {
            painter.drawPixmap(x, pictureTop, m_pictures.picture(picture, dpr));
            x += NodePictures::Size + PictureGap;
        }
        const QString caption = m_tree.caption(node);
        const int width = metrics.horizontalAdvance(caption);
        painter.drawText(QRect(x, rect.top(), width + 2, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
        m_contentWidth = qMax(m_contentWidth, x + width + 8 - rect.left());
    }

    if (node == m_tree.current() && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = full.adjusted(0, 0, -1, -1);
        focus.backgroundColor = pal.color(selected ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void TreeListView::paintHeadingRow(QPainter &painter, int r, const QRect &rect)
{
    const Row &row = m_rows[static_cast<size_t>(r)];
    fitColumnsOnce(row.node);
    const ColumnLayout &layout = m_tree.columnLayout(row.node);
    const auto spans = columnSpans(row.node, rect.left() + contentLeft(r));
    for (size_t c = 0; c < spans.size(); ++c) {
        if (spans[c].width <= 0)
            continue;
        QStyleOptionHeader option;
        option.initFrom(this);
        option.rect = QRect(spans[c].left, rect.top(), spans[c].width, rect.height());
        option.section = static_cast<int>(c);
        option.text = layout.columns[c].heading;
        option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option.orientation = Qt::Horizontal;
        option.state |= QStyle::State_Raised | QStyle::State_Horizontal;
        option.position = spans.size() == 1       ? QStyleOptionHeader::OnlyOneSection
                          : c == 0                ? QStyleOptionHeader::Beginning
                          : c + 1 == spans.size() ? QStyleOptionHeader::End
                                                  : QStyleOptionHeader::Middle;
        style()->drawControl(QStyle::CE_Header, &option, &painter, this);
    }
}

// --- Mouse -----------------------------------------------------------------------------------

void TreeListView::selectOnly(NodeHandle node)
{
    m_tree.clearSelection();
    m_tree.setSelected(node, true);
    m_tree.setCurrent(node);
    m_anchor = node;
}

void TreeListView::selectRange(int fromRow, int toRow, bool keepOthers)
{
    if (!keepOthers)
        m_tree.clearSelection();
    if (fromRow > toRow)
        std::swap(fromRow, toRow);
    for (int r = qMax(0, fromRow); r <= toRow && r < static_cast<int>(m_rows.size()); ++r) {
        const Row &row = m_rows[static_cast<size_t>(r)];
        if (row.kind == RowKind::Node)
            m_tree.setSelected(row.node, true);
    }
}

void TreeListView::toggleExpanded(NodeHandle node)
{
    m_lastCurrent = m_tree.current();
    m_tree.setExpanded(node, !m_tree.isExpanded(node));
    m_rowsDirty = true;
    ensureRows();
    updateScrollBars();
    viewport()->update();
}

void TreeListView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const Hit hit = hitTest(pos);
    m_pressHit = hit;
    m_pressNode = {};
    m_pressChangedSelection = false;
    m_deferredSingleSelect = {};
    m_dragStarted = false;

    if (hit.part == Part::HeadingEdge && event->button() == Qt::LeftButton) {
        const Row &row = m_rows[static_cast<size_t>(hit.row)];
        m_resizeOwner = row.node;
        m_resizeColumn = hit.column;
        m_resizeStartX = pos.x();
        const ColumnLayout &layout = m_tree.columnLayout(row.node);
        m_resizeStartWidth = layout.columns[static_cast<size_t>(hit.column)].width;
        return;
    }

    if (hit.part == Part::Expander && event->button() == Qt::LeftButton) {
        const NodeHandle node = m_rows[static_cast<size_t>(hit.row)].node;
        toggleExpanded(node);
        Q_EMIT MouseDown(event->button(), modifiers, pos.x(), pos.y());
        Q_EMIT PlusMinusClick(m_tree.indexOf(node));
        return;
    }

    if (hit.part == Part::Picture || hit.part == Part::Caption || hit.part == Part::Cell) {
        const NodeHandle node = m_rows[static_cast<size_t>(hit.row)].node;
        m_pressNode = node;
        if (event->button() == Qt::LeftButton) {
            if (modifiers & Qt::ControlModifier) {
                m_tree.setSelected(node, !m_tree.isSelected(node));
                m_tree.setCurrent(node);
                m_anchor = node;
            } else if (modifiers & Qt::ShiftModifier) {
                const int anchorRow = m_tree.isValid(m_anchor) ? rowOf(m_anchor) : -1;
                selectRange(anchorRow < 0 ? hit.row : anchorRow, hit.row, false);
                m_tree.setCurrent(node);
            } else if (m_tree.isSelected(node) && m_tree.selectedCount() > 1) {
                // Pressing inside a selection may start a drag of all of it.
                m_deferredSingleSelect = node;
                m_tree.setCurrent(node);
            } else {
                selectOnly(node);
            }
            m_pressChangedSelection = true;
        } else if (event->button() == Qt::RightButton && !m_tree.isSelected(node)) {
            selectOnly(node);
            m_pressChangedSelection = true;
        }
        viewport()->update();
    }
    // The user moved the current node; a later refresh need not bring it into sight.
    m_lastCurrent = m_tree.current();
    Q_EMIT MouseDown(event->button(), modifiers, pos.x(), pos.y());
}

void TreeListView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizeOwner) {
        if (!m_tree.isValid(m_resizeOwner)) {
            m_resizeOwner = {};
            return;
        }
        ColumnLayout layout = m_tree.columnLayout(m_resizeOwner);
        if (m_resizeColumn >= layout.columnCount())
            return;
        const int width = qMax(MinColumnWidth, m_resizeStartWidth + pos.x() - m_resizeStartX);
        ColumnLayout::Column &column = layout.columns[static_cast<size_t>(m_resizeColumn)];
        if (column.width != width) {
            column.width = width;
            m_tree.setColumnLayout(m_resizeOwner, layout);
            viewport()->update();
            Q_EMIT columnResized(m_resizeOwner, m_resizeColumn, width);
        }
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        const Hit hit = hitTest(pos);
        viewport()->setCursor(hit.part == Part::HeadingEdge ? Qt::SplitHCursor : Qt::ArrowCursor);
    }
    // A press on an expander or a heading moves no nodes.
    if (event->buttons() != Qt::NoButton && !m_pressNode)
        return;
    Q_EMIT MouseMove(event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void TreeListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizeOwner) {
        m_resizeOwner = {};
        m_resizeColumn = -1;
        return;
    }
    if (m_pressNode && !m_dragStarted && m_tree.isValid(m_pressNode)) {
        if (event->button() == Qt::LeftButton) {
            if (m_deferredSingleSelect && m_tree.isValid(m_deferredSingleSelect)) {
                selectOnly(m_deferredSingleSelect);
                viewport()->update();
            }
            if (m_pressHit.part == Part::Picture) {
                Q_EMIT PictureClick();
            } else {
                if (m_pressHit.part == Part::Cell)
                    Q_EMIT GridCellClick(m_tree.indexOf(m_pressNode), m_pressHit.column);
                Q_EMIT Click();
            }
        } else if (event->button() == Qt::RightButton && m_pressChangedSelection) {
            Q_EMIT Click();
        }
    }
    m_deferredSingleSelect = {};
    m_pressNode = {};
    m_lastReleaseGlobal = event->globalPosition().toPoint();
    Q_EMIT MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TreeListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const Hit hit = hitTest(event->position().toPoint());
    if (event->button() != Qt::LeftButton || hit.row < 0)
        return;
    if (hit.part == Part::Expander)
        return; // its own press has toggled the box again already
    if (hit.part == Part::Picture || hit.part == Part::Caption || hit.part == Part::Cell) {
        const NodeHandle node = m_rows[static_cast<size_t>(hit.row)].node;
        if (m_tree.hasChildren(node)) {
            toggleExpanded(node);
            Q_EMIT PlusMinusClick(m_tree.indexOf(node));
        }
        Q_EMIT DblClick();
    }
}

// --- Keys ------------------------------------------------------------------------------------

void TreeListView::keyPressEvent(QKeyEvent *event)
{
    Q_EMIT KeyDown(event->key(), event->modifiers());
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        moveCurrentByKey(event->key(), event->modifiers());
        event->accept();
        return;
    case Qt::Key_Space:
        if (event->modifiers() & Qt::ControlModifier) {
            const NodeHandle current = m_tree.current();
            if (current) {
                m_tree.setSelected(current, !m_tree.isSelected(current));
                m_anchor = current;
                viewport()->update();
                Q_EMIT Click();
            }
        }
        event->accept();
        return;
    default:
        if (startsFind(*event)) {
            Q_EMIT findTyped(event->text());
            event->accept();
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TreeListView::moveCurrentByKey(int key, Qt::KeyboardModifiers modifiers)
{
    ensureRows();
    if (m_rows.empty())
        return;
    const NodeHandle current = m_tree.current();
    int row = current ? rowOf(current) : -1;
    const int last = static_cast<int>(m_rows.size()) - 1;
    const int page = qMax(1, viewport()->height() / m_rowHeight - 1);

    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Plus ||
        key == Qt::Key_Minus) {
        if (row < 0)
            return;
        const bool expandable = m_tree.hasChildren(current) || m_tree.hasColumnLayout(current);
        const bool open = m_tree.isExpanded(current);
        const bool wantOpen = key == Qt::Key_Right || key == Qt::Key_Plus;
        if (expandable && open != wantOpen) {
            toggleExpanded(current);
            Q_EMIT PlusMinusClick(m_tree.indexOf(current));
            return;
        }
        if (key == Qt::Key_Left) {
            const NodeHandle parent = m_tree.parent(current);
            if (!parent)
                return;
            row = rowOf(parent);
        } else if (key == Qt::Key_Right && open) {
            ++row;
        } else {
            return;
        }
    } else {
        int step = 0;
        switch (key) {
        case Qt::Key_Up:
            step = -1;
            break;
        case Qt::Key_Down:
            step = 1;
            break;
        case Qt::Key_PageUp:
            step = -page;
            break;
        case Qt::Key_PageDown:
            step = page;
            break;
        case Qt::Key_Home:
            row = 0;
            break;
        case Qt::Key_End:
            row = last;
            break;
        default:
            break;
        }
        row = row < 0 ? 0 : qBound(0, row + step, last);
        // Heading rows are not nodes: step over them in the direction of travel.
        const int direction = step < 0 || key == Qt::Key_End ? -1 : 1;
        while (row >= 0 && row <= last && m_rows[static_cast<size_t>(row)].kind != RowKind::Node)
            row += direction;
        row = qBound(0, row, last);
    }
    if (row < 0 || m_rows[static_cast<size_t>(row)].kind != RowKind::Node)
        return;
    const NodeHandle target = m_rows[static_cast<size_t>(row)].node;
    if (modifiers & Qt::ShiftModifier) {
        const int anchorRow = m_tree.isValid(m_anchor) ? rowOf(m_anchor) : -1;
        selectRange(anchorRow < 0 ? row : anchorRow, row, false);
        m_tree.setCurrent(target);
    } else if (modifiers & Qt::ControlModifier) {
        m_tree.setCurrent(target);
    } else {
        selectOnly(target);
    }
    m_lastCurrent = target;
    scrollTo(target);
    Q_EMIT Click();
}

// --- Drag and drop --------------------------------------------------------------------------

void TreeListView::DragBegin()
{
    const NodeHandle current = m_tree.current();
    if (!current)
        return;
    m_dragStarted = true;
    m_deferredSingleSelect = {};

    auto *mime = new QMimeData;
    mime->setData(dragMimeType(), QByteArray::number(m_tree.selectedCount()));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);

    // A small label of what moves: the current node, and how many go with it.
    const int count = qMax(1, m_tree.selectedCount());
    const QString text = count > 1 ? tr("%1 items").arg(count) : m_tree.caption(current);
    const QFontMetrics metrics = fontMetrics();
    const QString shown = metrics.elidedText(text, Qt::ElideRight, 240);
    const qreal dpr = devicePixelRatioF();
    QPixmap label(
        QSize(NodePictures::Size + 8 + metrics.horizontalAdvance(shown) + 8, m_rowHeight) * dpr);
    label.setDevicePixelRatio(dpr);
    label.fill(Qt::transparent);
    {
        QPainter painter(&label);
        QColor back = palette().color(QPalette::Highlight);
        back.setAlpha(200);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(back);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(0, 0, label.width() / dpr, m_rowHeight), 4, 4);
        const QPixmap picture = m_pictures.picture(m_tree.picture(current), dpr);
        if (!picture.isNull())
            painter.drawPixmap(4, (m_rowHeight - NodePictures::Size) / 2, picture);
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(
            QRect(NodePictures::Size + 8, 0, metrics.horizontalAdvance(shown) + 4, m_rowHeight),
            Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
    drag->setPixmap(label);
    drag->setHotSpot(QPoint(-12, -4));
    drag->exec(Qt::CopyAction, Qt::CopyAction);

    m_pressNode = {};
    m_dropTarget = {};
    m_autoScrollTimer.stop();
    viewport()->update();
}

void TreeListView::DragOver(int x, int y, int state)
{
    if (state == DragLeave) {
        m_dropTarget = {};
        m_autoScrollTimer.stop();
        viewport()->update();
        return;
    }
    const QPoint pos(x, y);
    const NodeHandle target = nodeUnder(pos);
    if (target != m_dropTarget) {
        m_dropTarget = target;
        viewport()->update();
    }
    m_autoScrollDirection = pos.y() < AutoScrollMargin                           ? -1
                            : pos.y() >= viewport()->height() - AutoScrollMargin ? 1
                                                                                 : 0;
    if (m_autoScrollDirection != 0 && !m_autoScrollTimer.isActive())
        m_autoScrollTimer.start(AutoScrollInterval, this);
    else if (m_autoScrollDirection == 0)
        m_autoScrollTimer.stop();
}

void TreeListView::DragEnd(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
    m_dropTarget = {};
    m_autoScrollTimer.stop();
    viewport()->update();
}

void TreeListView::autoScrollStep()
{
    QScrollBar *bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + m_autoScrollDirection * m_rowHeight);
    if (bar->value() == before) {
        m_autoScrollTimer.stop();
        return;
    }
    // Keep the highlight under the pointer as the rows move beneath it.
    const QPoint pos = viewport()->mapFromGlobal(QCursor::pos());
    const NodeHandle target = nodeUnder(pos);
    if (target != m_dropTarget) {
        m_dropTarget = target;
        viewport()->update();
    }
}

void TreeListView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_autoScrollTimer.timerId()) {
        autoScrollStep();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void TreeListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(dragMimeType())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QPoint pos = event->position().toPoint();
    Q_EMIT DragOverEvent(pos.x(), pos.y(), DragEnter);
}

void TreeListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(dragMimeType())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QPoint pos = event->position().toPoint();
    Q_EMIT DragOverEvent(pos.x(), pos.y(), DragOverState);
}

void TreeListView::dragLeaveEvent(QDragLeaveEvent *event)
{
    Q_UNUSED(event);
    Q_EMIT DragOverEvent(0, 0, DragLeave);
}

void TreeListView::dropEvent(QDropEvent *event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(dragMimeType())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const QPoint pos = event->position().toPoint();
    // Handled once the drag has ended, so that message boxes do not open inside it.
    QMetaObject::invokeMethod(
        this, [this, pos] { Q_EMIT DragDrop(pos.x(), pos.y()); }, Qt::QueuedConnection);
}

// --- Pointer and the rest ---------------------------------------------------------------------

void TreeListView::PopupMenu()
{
    Q_EMIT contextMenuRequested(m_lastReleaseGlobal);
}

void TreeListView::showBusyPointer()
{
    if (m_busyPointer)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busyPointer = true;
}

void TreeListView::restorePointer()
{
    if (!m_busyPointer)
        return;
    QApplication::restoreOverrideCursor();
    m_busyPointer = false;
}

void TreeListView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TreeListView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        updateScrollBars();
    }
    QAbstractScrollArea::changeEvent(event);
}

void TreeListView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
}

} // namespace corvel
