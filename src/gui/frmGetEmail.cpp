#include "gui/frmGetEmail.h"

#include "groups/GetEMailForm.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace corvel {

frmGetEmail::frmGetEmail(GetEMailForm &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_txtFirstName(new QLineEdit(form.firstName()))
    , m_txtLastName(new QLineEdit(form.lastName()))
    , m_txtEmail(new QLineEdit(form.email()))
{
    setWindowTitle(form.caption());
    if (parent)
        setWindowIcon(parent->window()->windowIcon());
    m_txtFirstName->setObjectName(QStringLiteral("txtFirstName"));
    m_txtLastName->setObjectName(QStringLiteral("txtLastName"));
    m_txtEmail->setObjectName(QStringLiteral("txtEmail"));

    auto *buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmGetEmail::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit *edit : {m_txtFirstName, m_txtLastName, m_txtEmail})
        connect(edit, &QLineEdit::textChanged, this, &frmGetEmail::formChanged);

    auto *grid = new QGridLayout(this);
    auto *first = new QLabel(QStringLiteral("Name - First:"));
    first->setBuddy(m_txtFirstName);
    auto *last = new QLabel(QStringLiteral("Last"));
    last->setBuddy(m_txtLastName);
    auto *email = new QLabel(QStringLiteral("Email:"));
    email->setBuddy(m_txtEmail);
    grid->addWidget(first, 0, 0);
    grid->addWidget(m_txtFirstName, 0, 1);
    grid->addWidget(last, 0, 2);
    grid->addWidget(m_txtLastName, 0, 3);
    grid->addWidget(email, 1, 0);
    grid->addWidget(m_txtEmail, 1, 1, 1, 3);
    grid->addWidget(buttons, 2, 0, 1, 4);
    setTabOrder(m_txtFirstName, m_txtLastName);
    setTabOrder(m_txtLastName, m_txtEmail);
    setTabOrder(m_txtEmail, m_ok);
    setTabOrder(m_ok, cancel);
    m_ok->setEnabled(m_form.okEnabled());
    setMinimumWidth(420);
}

void frmGetEmail::formChanged()
{
    m_form.setFirstName(m_txtFirstName->text());
    m_form.setLastName(m_txtLastName->text());
    m_form.setEmail(m_txtEmail->text());
    m_ok->setEnabled(m_form.okEnabled());
}

void frmGetEmail::accept()
{
    if (!m_form.okEnabled())
        return;
    m_form.accept();
    QDialog::accept();
}

} // namespace corvel
