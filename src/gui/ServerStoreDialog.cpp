#include "gui/ServerStoreDialog.h"

#include "gui/ProblemLabel.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvel {

ServerStoreDialog::ServerStoreDialog(ServerStoreForm &form, std::vector<LocalStore> others,
                                     QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_others(std::move(others))
{
    setWindowTitle(u"Add a Store on a Server"_s);
    m_name = new QLineEdit(form.name, this);
    m_location = new QLineEdit(form.location, this);
    m_location->setPlaceholderText(u"https://dav.example.org/ or ldap://host/dc=example,dc=org"_s);
    m_user = new QLineEdit(form.user, this);
    m_byCommand = new QRadioButton(u"Password co&mmand"_s, this);
    m_byKeyring = new QRadioButton(u"&Keep the password in the keyring"_s, this);
    (form.keyring ? m_byKeyring : m_byCommand)->setChecked(true);
    m_passwordCommand = new QLineEdit(form.passwordCommand, this);
    m_passwordCommand->setPlaceholderText(u"a command that prints the password"_s);
    m_password = new QLineEdit(form.password, this);
    m_password->setEchoMode(QLineEdit::Password);
    m_caFile = new QLineEdit(form.caFile, this);
    m_caFile->setPlaceholderText(u"the system's trusted certificates"_s);
    auto *browse = new QPushButton(u"&Browse..."_s, this);
    m_categoriesAttribute = new QLineEdit(form.categoriesAttribute, this);
    m_categoriesAttribute->setPlaceholderText(u"businessCategory"_s);

    auto *caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(browse);
    auto *fields = new QFormLayout;
    fields->addRow(u"&Name:"_s, m_name);
    fields->addRow(u"&Location:"_s, m_location);
    fields->addRow(u"&User:"_s, m_user);
    fields->addRow(m_byCommand, m_passwordCommand);
    fields->addRow(m_byKeyring);
    fields->addRow(u"Pass&word:"_s, m_password);
    auto *caLabel = new QLabel(u"C&A file:"_s, this);
    caLabel->setBuddy(m_caFile);
    fields->addRow(caLabel, caRow);
    fields->addRow(u"Ca&tegories attribute (LDAP):"_s, m_categoriesAttribute);
    m_problem = newProblemLabel(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);

    for (QLineEdit *edit : {m_name, m_location, m_user, m_passwordCommand, m_password, m_caFile,
                            m_categoriesAttribute})
        connect(edit, &QLineEdit::textChanged, this, &ServerStoreDialog::edited);
    connect(m_byKeyring, &QRadioButton::toggled, this, &ServerStoreDialog::edited);
    connect(browse, &QPushButton::clicked, this, &ServerStoreDialog::chooseCaFile);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(560, sizeHint().height());
    edited();
}

void ServerStoreDialog::edited()
{
    m_form.name = m_name->text();
    m_form.location = m_location->text();
    m_form.user = m_user->text();
    m_form.keyring = m_byKeyring->isChecked();
    m_form.passwordCommand = m_passwordCommand->text();
    m_form.password = m_password->text();
    m_form.caFile = m_caFile->text();
    m_form.categoriesAttribute = m_categoriesAttribute->text();
    m_passwordCommand->setEnabled(!m_form.keyring);
    m_password->setEnabled(m_form.keyring);
    m_categoriesAttribute->setEnabled(m_form.isLdap());
    const QString problem = m_form.problem(m_others);
    m_problem->setText(problem);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

void ServerStoreDialog::chooseCaFile()
{
    const QString file =
        QFileDialog::getOpenFileName(this, u"Choose the certificate authority's file"_s, {},
                                     u"PEM certificates (*.pem *.crt);;All files (*)"_s);
    if (!file.isEmpty())
        m_caFile->setText(file);
}

} // namespace corvel
