#pragma once

#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

// Find as you type over the rows of one listed folder or group: keeps the rows whose shown
// columns contain a text, without regard to case or accents.
//
// Each row's shown columns are folded once when the rows are prepared, so a keystroke is
// one linear scan of prepared keys. Rows are held by handle; nodes outside the listing are
// always shown. Prepared keys go stale when the tree's structure changes; refresh() takes
// the rows again and keeps the text.
class RowFinder
{
public:
    // The listed folder or group a find at `node` works on: the node itself when it shows
    // its children in columns, else its parent when that does; null otherwise.
    [[nodiscard]] static NodeHandle ownerFor(const TreeList &tree, NodeHandle node);

    // The children of `holder` a find for `text` shows, in their order (all for no text).
    [[nodiscard]] static std::vector<NodeHandle> rowsFound(const TreeList &tree, NodeHandle holder,
                                                           const QString &text);

    // Takes the children of `owner` with their shown columns and shows them all.
    void prepare(const TreeList &tree, NodeHandle owner);
    // Prepares again, keeping the text, when the tree's structure changed since; forgets the
    // owner and the text when the owner is gone.
    void refresh(const TreeList &tree);
    // Ends the find: every row is shown again.
    void clear();

    // Keeps the rows whose shown columns contain `text`; empty text shows every row.
    void setText(const QString &text);
    [[nodiscard]] const QString &text() const { return m_text; }

    [[nodiscard]] NodeHandle owner() const { return m_owner; }
    // A non-empty text narrows the rows of a prepared owner.
    [[nodiscard]] bool isActive() const { return m_owner && !m_needle.isEmpty(); }
    [[nodiscard]] bool isShown(NodeHandle node) const;
    [[nodiscard]] int shownCount() const { return m_shownCount; }
    [[nodiscard]] int rowCount() const { return static_cast<int>(m_rows.size()); }
    // The shown rows in their order.
    [[nodiscard]] std::vector<NodeHandle> shownRows() const;
    // "N of M" while narrowed, else "M Items", as the count panel says it.
    [[nodiscard]] QString countText() const;

    // Commands act on the selection; a hidden row must not be part of it.
    void deselectHidden(TreeList &tree) const;

private:
    [[nodiscard]] static QString keyOf(const TreeList &tree, NodeHandle row,
                                       const ColumnLayout &layout);

    NodeHandle m_owner;
    quint64 m_stamp = 0;
    std::vector<NodeHandle> m_rows;
    // Every row's folded columns, one after the other, so a keystroke is one search over
    // contiguous text; row i's key starts at m_keyStart[i].
    QString m_keys;
    std::vector<qsizetype> m_keyStart;
    std::vector<quint8> m_shown;
    std::vector<quint32> m_positionBySlot; // slot -> position in m_rows + 1; 0: not a row
    QString m_text;
    QString m_needle;
    int m_shownCount = 0;
};

} // namespace corvel
