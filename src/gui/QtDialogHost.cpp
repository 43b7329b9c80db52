#include "gui/QtDialogHost.h"

#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "gui/ContactCardWindow.h"
#include "gui/LetterWindow.h"
#include "gui/MailSetupDialog.h"
#include "gui/frmAbout.h"
#include "gui/frmCopyTo.h"
#include "gui/frmDoMsg.h"
#include "gui/frmDynGrp.h"
#include "gui/frmGetEmail.h"
#include "gui/frmGetName.h"
#include "gui/frmMailWiz.h"
#include "presentation/FileDialogRequest.h"
#include "presentation/PublishTargetForm.h"
#include "session/OutlookSession.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace corvel {

namespace {

// The run's hold on its generator window: a window that shows the run's account stays
// open after the run (and goes when the user closes it); any other goes with the run.
class GeneratorWindowHandle : public GeneratorWindow
{
public:
    explicit GeneratorWindowHandle(frmDoMsg *window)
        : m_window(window)
    {
    }
    ~GeneratorWindowHandle() override
    {
        if (!m_window)
            return;
        if (m_window->showsOutcome() && m_window->isVisible())
            m_window->setAttribute(Qt::WA_DeleteOnClose);
        else
            delete m_window.data();
    }

    void show() override { m_window->show(); }
    void setStatus(const QString &text) override { m_window->setStatus(text); }
    void setPercent(int percent) override { m_window->setPercent(percent); }
    void letEventsRun() override { m_window->letEventsRun(); }
    void critical(const QString &text) override { m_window->critical(text); }
    void setCancelHandler(std::function<void()> handler) override
    {
        m_window->setCancelHandler(std::move(handler));
    }
    void showOutcome(const QString &heading, const QStringList &lines) override
    {
        m_window->showOutcome(heading, lines);
    }
    void closeWindow() override
    {
        if (m_window)
            m_window->closeWindow();
    }

private:
    QPointer<frmDoMsg> m_window;
};

} // namespace

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

bool QtDialogHost::askName(GetNameForm &form)
{
    frmGetName dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::askEMail(GetEMailForm &form)
{
    frmGetEmail dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::askCopyTarget(CopyToForm &form)
{
    frmCopyTo dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::askDynamicGroup(DynGrpForm &form)
{
    frmDynGrp dialog(form, owner());
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogHost::askPublishTarget(PublishTargetForm &form)
{
    QStringList paths;
    for (const PublishTargetForm::Row &row : form.rows())
        paths << row.path;
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        owner(), PublishTargetForm::caption(),
        QStringLiteral("Contact folder to publish the group to:"), paths, 0, false, &ok);
    return ok && form.choose(static_cast<int>(paths.indexOf(chosen)));
}

QString QtDialogHost::chooseFile(const FileDialogRequest &request)
{
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    QFileDialog dialog(owner(), request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !m_nativeFileDialogs);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile
                       : request.mode == FileDialogRequest::Mode::Folder
                           ? QFileDialog::Directory
                           : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    dialog.setDefaultSuffix(request.defaultExt);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(request.initialDir);
    if (!request.nameFilters.isEmpty())
        dialog.setNameFilters(request.nameFilters);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool QtDialogHost::runMailWizard(MailWizard &wizard)
{
    frmMailWiz dialog(wizard, owner());
    return dialog.exec() == QDialog::Accepted;
}

DialogHost::InterruptedRun QtDialogHost::askInterruptedRun(const QString &text)
{
    QMessageBox box(QMessageBox::Question, m_appTitle, text, QMessageBox::NoButton, owner());
    QPushButton *resume = box.addButton(QStringLiteral("&Continue"), QMessageBox::AcceptRole);
    QPushButton *restart =
        box.addButton(QStringLiteral("&Start Over"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(resume);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == resume)
        return InterruptedRun::Continue;
    if (box.clickedButton() == restart)
        return InterruptedRun::StartOver;
    return InterruptedRun::Cancel;
}

std::unique_ptr<GeneratorWindow> QtDialogHost::openGenerator()
{
    // The run belongs to the main window, whichever window is active (right after the wizard
    // none may be): a letter window closes and deletes itself, and would take the run with it.
    QWidget *parent = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (!parent && top->isVisible() && qobject_cast<QMainWindow *>(top) &&
            !qobject_cast<LetterWindow *>(top))
            parent = top;
    if (!parent)
        parent = owner();
    return std::make_unique<GeneratorWindowHandle>(new frmDoMsg(m_appTitle, parent));
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
