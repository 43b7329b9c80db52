#pragma once

#include "tree/TreeList.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvel {

// The rules of the copy chooser (frmCopyTo): row 0 the Standard Mail Groups root, then one
// row per Standard Mail Group in the main tree's order. OK answers the chosen group's
// main-tree index, "\", its caption. The form reads the main tree while it is shown.
class CopyToForm
{
public:
    struct Row
    {
        QString caption;
        int picture = 0;
        int tlMainIx = -1; // the node's index in the main tree
    };
    // Makes a Standard Mail Group under the root at this main-tree index (New Group).
    using NewGroupHandler = std::function<void(int rootIndex)>;

    CopyToForm(const TreeList &mainTree, QString lastName, NewGroupHandler newGroup = {});

    [[nodiscard]] static QString caption();

    // Fills the rows; false when the tree has no Standard Mail Groups root, in which case
    // the dialog is not shown.
    bool fillCopyList();
    [[nodiscard]] const std::vector<Row> &rows() const { return m_rows; }
    // -1: no current row.
    [[nodiscard]] int currentRow() const { return m_current; }
    // A click on a row: makes it current and sets OK's state.
    void clickRow(int row);
    [[nodiscard]] bool okEnabled() const { return m_okEnabled; }

    // New Group: asks the handler for a group, then lists it when the tree grew. True when
    // the list was filled again.
    bool newGroup();

    // OK: answers the current row; refused while OK is disabled.
    void accept();
    [[nodiscard]] const QString &answer() const { return m_answer; }

private:
    const TreeList &m_tree;
    QString m_lastName;
    NewGroupHandler m_newGroup;
    std::vector<Row> m_rows;
    int m_current = -1;
    bool m_okEnabled = false;
    QString m_answer;
};

} // namespace corvel
