#pragma once

#include "tree/RowFinder.h"

#include <QWidget>

class QLineEdit;

namespace corvel {

class StatusPanels;
class TreeListView;

// The find field over the tree: shows what is typed to the tree's RowFinder, the tree the
// rows it keeps and the count panel "N of M". Hidden until Ctrl+F or typing in the tree;
// Escape (through cancel()) gives the whole list back.
class TreeFindBar : public QWidget
{
    Q_OBJECT

public:
    TreeFindBar(TreeListView &view, StatusPanels &status, QWidget *parent = nullptr);
    ~TreeFindBar() override;

    // Opens the field on the listing of the tree's current node with `typed` in it; false
    // (and nothing shown) when the current node lists no rows.
    bool start(const QString &typed = {});
    // Closes an open field and shows every row again; false when it was not open.
    bool cancel();
    [[nodiscard]] const RowFinder &finder() const { return m_finder; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTextChanged(const QString &text);
    void onTreeClick();

    TreeListView &m_view;
    StatusPanels &m_status;
    QLineEdit *m_edit = nullptr;
    RowFinder m_finder;
};

} // namespace corvel
