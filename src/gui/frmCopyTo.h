#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace corvel {

class CopyToForm;

// The chooser of the Standard Mail Group that selected contacts are copied into.
class frmCopyTo : public QDialog
{
    Q_OBJECT

public:
    explicit frmCopyTo(CopyToForm &form, QWidget *parent = nullptr);

    void accept() override;

private:
    void fillList();
    void rowClicked();

    CopyToForm &m_form;
    QTreeWidget *m_tlCopy;
    QPushButton *m_ok;
};

} // namespace corvel
