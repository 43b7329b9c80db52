#include "tree/RowFinder.h"

#include "tree/FindText.h"

#include <QStringMatcher>

namespace corvel {

namespace {

// Between columns, so a text never matches across two of them; typed text cannot hold it.
constexpr QChar ColumnBreak(0x1F);

bool showsColumns(const TreeList &tree, NodeHandle node)
{
    return tree.hasColumnLayout(node) && tree.columnLayout(node).columnCount() > 1;
}

} // namespace

NodeHandle RowFinder::ownerFor(const TreeList &tree, NodeHandle node)
{
    if (!tree.isValid(node))
        return {};
    if (showsColumns(tree, node))
        return node;
    const NodeHandle parent = tree.parent(node);
    return parent && showsColumns(tree, parent) ? parent : NodeHandle{};
}

QString RowFinder::keyOf(const TreeList &tree, NodeHandle row, const ColumnLayout &layout)
{
    // Column 0 shows the caption; a column narrowed to nothing shows nothing.
    QString key;
    for (size_t c = 0; c < layout.columns.size(); ++c) {
        const ColumnLayout::Column &column = layout.columns[c];
        if (column.width <= 0)
            continue;
        key += FindText::fold(c == 0 ? tree.caption(row)
                                     : tree.value(row, column.boundValue).toString());
        key += ColumnBreak;
    }
    return key;
}

std::vector<NodeHandle> RowFinder::rowsFound(const TreeList &tree, NodeHandle holder,
                                             const QString &text)
{
    if (text.isEmpty())
        return tree.children(holder);
    RowFinder finder;
    finder.prepare(tree, holder);
    finder.setText(text);
    return finder.shownRows();
}

void RowFinder::prepare(const TreeList &tree, NodeHandle owner)
{
    m_owner = tree.isValid(owner) ? owner : NodeHandle{};
    m_stamp = tree.structureStamp();
    m_rows = m_owner ? tree.children(m_owner) : std::vector<NodeHandle>{};
    m_keys.clear();
    m_keyStart.clear();
    m_keyStart.reserve(m_rows.size() + 1);
    quint32 maxSlot = 0;
    if (m_owner) {
        const ColumnLayout &layout = tree.columnLayout(m_owner);
        for (NodeHandle row : m_rows) {
            m_keyStart.push_back(m_keys.size());
            m_keys += keyOf(tree, row, layout);
            maxSlot = qMax(maxSlot, row.slot);
        }
    }
    m_keyStart.push_back(m_keys.size());
    m_positionBySlot.assign(m_rows.empty() ? 0 : maxSlot + 1, 0);
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_positionBySlot[m_rows[i].slot] = static_cast<quint32>(i + 1);
    setText(m_text);
}

void RowFinder::refresh(const TreeList &tree)
{
    if (!m_owner || tree.structureStamp() == m_stamp)
        return;
    if (!tree.isValid(m_owner)) {
        clear();
        return;
    }
    prepare(tree, m_owner);
}

void RowFinder::clear()
{
    m_owner = {};
    m_rows.clear();
    m_keys.clear();
    m_keyStart.clear();
    m_shown.clear();
    m_positionBySlot.clear();
    m_text.clear();
    m_needle.clear();
    m_shownCount = 0;
}

void RowFinder::setText(const QString &text)
{
    m_text = text;
    m_needle = FindText::fold(text);
    m_needle.remove(ColumnBreak);
    if (m_needle.isEmpty()) {
        m_shown.assign(m_rows.size(), 1);
        m_shownCount = static_cast<int>(m_rows.size());
        return;
    }
    m_shown.assign(m_rows.size(), 0);
    m_shownCount = 0;
    // Every key ends with a column break the needle cannot hold, so a match never runs from
    // one row into the next; after a match the search goes on at the next row.
    const QStringMatcher matcher(m_needle);
    size_t row = 0;
    for (qsizetype at = matcher.indexIn(m_keys, 0); at >= 0;
         at = matcher.indexIn(m_keys, m_keyStart[row])) {
        while (m_keyStart[row + 1] <= at)
            ++row;
        m_shown[row] = 1;
        ++m_shownCount;
        ++row;
        if (row == m_rows.size())
            break;
    }
}

bool RowFinder::isShown(NodeHandle node) const
{
    if (!isActive() || node.slot >= m_positionBySlot.size())
        return true;
    const quint32 position = m_positionBySlot[node.slot];
    if (position == 0 || m_rows[position - 1] != node)
        return true;
    return m_shown[position - 1] != 0;
}

std::vector<NodeHandle> RowFinder::shownRows() const
{
    std::vector<NodeHandle> shown;
    shown.reserve(static_cast<size_t>(m_shownCount));
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_shown[i])
            shown.push_back(m_rows[i]);
    }
    return shown;
}

QString RowFinder::countText() const
{
    if (isActive())
        return QStringLiteral("%1 of %2").arg(m_shownCount).arg(m_rows.size());
    return QString::number(m_rows.size()) + QStringLiteral(" Items");
}

void RowFinder::deselectHidden(TreeList &tree) const
{
    if (!isActive())
        return;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_shown[i])
            tree.setSelected(m_rows[i], false);
    }
}

} // namespace corvel
