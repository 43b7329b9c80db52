#include "gui/QtDialogHost.h"

#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "gui/ContactCardWindow.h"
#include "gui/LetterWindow.h"
#include "gui/MailSetupDialog.h"
#include "gui/QtFileDialogRunner.h"
#include "gui/frmAbout.h"
#include "gui/frmCopyTo.h"
#include "gui/frmDynGrp.h"
#include "gui/frmGetEmail.h"
#include "gui/frmGetName.h"
#include "session/OutlookSession.h"
#include "workspace/CDialog.h"
#include "workspace/FileDialogRequest.h"

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

DialogHost::UnsavedChanges QtDialogHost::askUnsavedChanges(const QString &text)
{
    switch (QMessageBox::question(owner(), m_appTitle, text,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
    case QMessageBox::Save:
        return UnsavedChanges::Save;
    case QMessageBox::Discard:
        return UnsavedChanges::Discard;
    default:
        return UnsavedChanges::Cancel;
    }
}

void QtDialogHost::showAbout()
{
    frmAbout about(m_appTitle, m_dataFolder, owner());
    about.exec();
}

bool QtDialogHost::editMailSetup(MailSetupForm &form)
{
    MailSetupDialog dialog(form, m_testSender, owner());
    dialog.setWindowTitle(QStringLiteral("Mail Setup"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace corvel

namespace corvel {

bool QtDialogHost::GetName(GetNameForm &form)
{
    frmGetName dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::GetEMail(GetEMailForm &form)
{
    frmGetEmail dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::FindCopyTo(CopyToForm &form)
{
    frmCopyTo dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::FGetParms(DynGrpForm &form)
{
    frmDynGrp dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

QString QtDialogHost::chooseFile(const FileDialogRequest &request)
{
    QtFileDialogRunner runner(m_nativeFileDialogs);
    CDialog dialog(runner);
    QStringList pairs;
    for (const auto &[description, pattern] : request.filters)
        pairs << description << pattern;
    dialog.setFilter(pairs.join(u'|'));
    dialog.DialogTitle = request.title;
    dialog.InitDir = request.initialDir;
    dialog.Filename = request.fileName;
    dialog.DefaultExt = request.defaultExt;
    if (request.overwritePrompt)
        dialog.Flags |= CDialog::OFN_OVERWRITEPROMPT;
    if (request.pathMustExist)
        dialog.Flags |= CDialog::OFN_PATHMUSTEXIST;
    if (request.fileMustExist)
        dialog.Flags |= CDialog::OFN_FILEMUSTEXIST;
    const bool chosen =
        request.mode == FileDialogRequest::Mode::Save ? dialog.ShowSave() : dialog.ShowOpen();
    return chosen ? dialog.Filename : QString();
}

void QtDialogHost::showContact(const QString &entryId)
{
    try {
        if (!m_itemLookup)
            throw OutlookError(QStringLiteral("No mail session is open."));
        const std::shared_ptr<OlItem> item = m_itemLookup(entryId);
        auto *window = new ContactCardWindow(item->FileAs(), item->Card(), owner());
        window->show();
    } catch (const OutlookError &error) {
        critical(error.message());
    }
}

void QtDialogHost::showMessage(const QString &entryId)
{
    // Two windows on one letter would save over each other.
    for (LetterWindow *open : openLetters()) {
        if (open->entryId() == entryId) {
            open->showNormal();
            open->raise();
            open->activateWindow();
            return;
        }
    }
    try {
        if (!m_itemLookup)
            throw OutlookError(QStringLiteral("No mail session is open."));
        // No parent: closing one window must not take the letters opened from it along.
        auto *window = new LetterWindow(m_itemLookup(entryId), *this);
        m_letters.removeIf([](const QPointer<LetterWindow> &gone) { return gone.isNull(); });
        m_letters.append(window);
        window->show();
    } catch (const OutlookError &error) {
        critical(error.message());
    }
}

QList<LetterWindow *> QtDialogHost::openLetters() const
{
    QList<LetterWindow *> open;
    for (const QPointer<LetterWindow> &window : m_letters) {
        if (window && window->isVisible())
            open.append(window);
    }
    return open;
}

bool QtDialogHost::closeLetters(bool ask, QStringList &problems)
{
    for (LetterWindow *window : openLetters()) {
        if (!ask) {
            if (const Status kept = window->closeForSessionEnd(); !kept.ok())
                problems << kept.error();
        } else if (!window->close()) {
            return false;
        }
    }
    m_letters.removeIf([](const QPointer<LetterWindow> &window) { return window.isNull(); });
    return true;
}

} // namespace corvel
