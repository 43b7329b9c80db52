#pragma once

#include "presentation/ServerStoreForm.h"

#include <QDialog>

#include <vector>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace corvel {

// Mail Setup's "Add > Server...": a CardDAV or LDAP store, shown and edited over a
// ServerStoreForm, which holds the rules.
class ServerStoreDialog : public QDialog
{
    Q_OBJECT
public:
    ServerStoreDialog(ServerStoreForm &form, std::vector<LocalStore> others,
                      QWidget *parent = nullptr);

private:
    void edited();
    void chooseCaFile();

    ServerStoreForm &m_form;
    std::vector<LocalStore> m_others;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_location = nullptr;
    QLineEdit *m_user = nullptr;
    QRadioButton *m_byCommand = nullptr;
    QRadioButton *m_byKeyring = nullptr;
    QLineEdit *m_passwordCommand = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_caFile = nullptr;
    QLineEdit *m_categoriesAttribute = nullptr;
    QLabel *m_problem = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace corvel
