#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace corvel {

class GetNameForm;

// The one-line prompt over its form: OK only while the text is not empty.
class frmGetName : public QDialog
{
    Q_OBJECT

public:
    explicit frmGetName(GetNameForm &form, QWidget *parent = nullptr);

    void accept() override;

private:
    GetNameForm &m_form;
    QLineEdit *m_txtData;
    QPushButton *m_ok;
};

} // namespace corvel
