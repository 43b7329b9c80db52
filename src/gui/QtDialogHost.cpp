#include "gui/QtDialogHost.h"

#include "gui/MailSetupDialog.h"
#include "gui/frmAbout.h"

#include <QApplication>
#include <QMessageBox>

namespace corvel {

QtDialogHost::QtDialogHost(QString appTitle, TestSender testSender)
    : m_appTitle(std::move(appTitle))
    , m_testSender(std::move(testSender))
{
}

QWidget *QtDialogHost::owner()
{
    return QApplication::activeWindow();
}

void QtDialogHost::information(const QString &text)
{
    QMessageBox::information(owner(), m_appTitle, text);
}

bool QtDialogHost::questionOkCancel(const QString &text)
{
    return QMessageBox::question(owner(), m_appTitle, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

bool QtDialogHost::questionYesNo(const QString &text)
{
    return QMessageBox::question(owner(), m_appTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogHost::critical(const QString &text)
{
    QMessageBox::critical(owner(), m_appTitle, text);
}

void QtDialogHost::showAbout()
{
    frmAbout about(m_appTitle, owner());
    about.exec();
}

bool QtDialogHost::editMailSetup(MailSetupForm &form)
{
    MailSetupDialog dialog(form, m_testSender, owner());
    dialog.setWindowTitle(QStringLiteral("Mail Setup"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace corvel

// The group dialogs and file dialogs are not on the screen yet: each answers as cancelled.
namespace corvel {

bool QtDialogHost::GetName(GetNameForm &)
{
    return false;
}

bool QtDialogHost::GetEMail(GetEMailForm &)
{
    return false;
}

bool QtDialogHost::FindCopyTo(CopyToForm &)
{
    return false;
}

bool QtDialogHost::FGetParms(DynGrpForm &)
{
    return false;
}

QString QtDialogHost::chooseFile(const FileDialogRequest &)
{
    return {};
}

void QtDialogHost::showContact(const QString &) {}

void QtDialogHost::showMessage(const QString &) {}

} // namespace corvel
