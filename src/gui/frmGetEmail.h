#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace corvel {

class GetEMailForm;

// The name-and-address prompt over its form.
class frmGetEmail : public QDialog
{
    Q_OBJECT

public:
    explicit frmGetEmail(GetEMailForm &form, QWidget *parent = nullptr);

    void accept() override;

private:
    void formChanged();

    GetEMailForm &m_form;
    QLineEdit *m_txtFirstName;
    QLineEdit *m_txtLastName;
    QLineEdit *m_txtEmail;
    QPushButton *m_ok;
};

} // namespace corvel
