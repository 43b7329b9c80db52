#pragma once

#include "groups/DynGrpParms.h"
#include "tree/TreeList.h"

#include <QString>

namespace corvel {

// The rules of the Dynamic Mail Group parameters dialog (frmDynGrp): a name, a categories
// text and a chooser of source folders. The chooser is a tree of its own: a top node that
// stands for no folder, the stores (picture 104), and their contact folders, each chosen
// (state 1, picture 114) or not (state 0, picture 113). OK needs a name, some categories
// and at least one chosen node.
class DynGrpForm
{
public:
    enum : int
    {
        picStore = 104,
        picNotChosen = 113,
        picChosen = 114,
    };

    // sourceFolderIds: the "^" list of the stores and contact folders the chooser offers
    // (stores first, each followed by its folders). entryIds: the folders chosen now.
    DynGrpForm(const TreeList &mainTree, const QString &sourceFolderIds, QString name,
               QString categories, QString entryIds, QString lastLoaded, QString title);

    [[nodiscard]] const QString &title() const { return m_title; }
    [[nodiscard]] static QString nameLabel();
    [[nodiscard]] static QString foldersLabel();
    [[nodiscard]] static QString categoriesLabel();
    [[nodiscard]] static QString lastLoadedLabel();
    // Shown, with its label, only when not empty.
    [[nodiscard]] const QString &lastLoaded() const { return m_lastLoaded; }

    [[nodiscard]] const QString &name() const { return m_name; }
    [[nodiscard]] const QString &categories() const { return m_categories; }
    void setName(const QString &text) { m_name = text; }
    void setCategories(const QString &text) { m_categories = text; }

    [[nodiscard]] TreeList &chooser() { return m_chooser; }
    [[nodiscard]] const TreeList &chooser() const { return m_chooser; }
    [[nodiscard]] NodeHandle topNode() const { return m_top; }
    [[nodiscard]] int chosenCount() const { return m_chosenCount; }

    // A click on a node's picture: the node becomes current and is toggled.
    void clickPicture(NodeHandle node);
    // The space key: toggles the current node unless it is the top node. Always consumed.
    void pressSpace();

    [[nodiscard]] bool okEnabled() const;
    // OK: the answer lists the chosen folders in the chooser's order; refused while OK
    // is disabled.
    void accept();
    // Empty until OK (the user cancelled).
    [[nodiscard]] const QString &answer() const { return m_answer; }

private:
    void fill(const TreeList &mainTree, const QString &sourceFolderIds);
    void toggle(NodeHandle node);

    QString m_name;
    QString m_categories;
    QString m_entryIds;
    QString m_lastLoaded;
    QString m_title;
    TreeList m_chooser;
    NodeHandle m_top;
    int m_chosenCount = 0;
    QString m_answer;
};

} // namespace corvel
