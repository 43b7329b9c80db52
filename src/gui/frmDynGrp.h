#pragma once

#include "tree/TreeList.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvel {

class DynGrpForm;

// The Dynamic Mail Group parameters over their form: a name, the source folders chosen by
// clicking their pictures (or with the space key), and the categories.
class frmDynGrp : public QDialog
{
    Q_OBJECT

public:
    explicit frmDynGrp(DynGrpForm &form, QWidget *parent = nullptr);

    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillChooser();
    void refreshPictures();
    void updateOk();
    [[nodiscard]] NodeHandle nodeOf(const QTreeWidgetItem *item) const;

    DynGrpForm &m_form;
    QLineEdit *m_txtName;
    QTreeWidget *m_tlSrce;
    QLineEdit *m_txtCategories;
    QPushButton *m_ok;
    std::vector<NodeHandle> m_nodes; // per item, by the index kept in the item
    std::vector<QTreeWidgetItem *> m_items;
};

} // namespace corvel
