#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace corvel {

class CopyToForm;
class DynGrpForm;
class GetEMailForm;
class GetNameForm;
class GeneratorWindow;
class MailWizard;
class MailSetupForm;
class PublishTargetForm;
struct FileDialogRequest;

// Every message box and dialog the main window shows goes through here, so tests can
// answer them. Message boxes are titled with the program's title.
class DialogHost
{
public:
    virtual ~DialogHost() = default;

    // A notice or a refusal (information icon, OK).
    virtual void information(const QString &text) = 0;
    // A confirmation before something is destroyed: true for OK.
    [[nodiscard]] virtual bool questionOkCancel(const QString &text) = 0;
    // An optional follow-up: true for Yes.
    [[nodiscard]] virtual bool questionYesNo(const QString &text) = 0;
    // Something failed that the user must know of (critical-stop icon, OK).
    virtual void critical(const QString &text) = 0;
    // Before closing something whose changes are not saved.
    enum class UnsavedChanges
    {
        Save,
        Discard,
        Cancel
    };
    [[nodiscard]] virtual UnsavedChanges askUnsavedChanges(const QString &text) = 0;

    // The About box, modal.
    virtual void showAbout() = 0;
    // The mail set-up dialog over the form; true when the user accepted it.
    [[nodiscard]] virtual bool editMailSetup(MailSetupForm &form) = 0;

    // The group prompts, modal, each over its form: true when the user pressed OK, and the
    // form has then accepted (its answer is set); false leaves the answer empty.
    [[nodiscard]] virtual bool askName(GetNameForm &form) = 0;
    [[nodiscard]] virtual bool askEMail(GetEMailForm &form) = 0;
    // Not called when the form could not be filled (no Standard Mail Groups root).
    [[nodiscard]] virtual bool askCopyTarget(CopyToForm &form) = 0;
    [[nodiscard]] virtual bool askDynamicGroup(DynGrpForm &form) = 0;
    // Not called when the form has no rows.
    [[nodiscard]] virtual bool askPublishTarget(PublishTargetForm &form) = 0;
    // An open or save file dialog: the chosen path, or empty text when cancelled.
    [[nodiscard]] virtual QString chooseFile(const FileDialogRequest &request) = 0;

    // The group mail wizard, modal, over its rules: true when it ended with Finish.
    [[nodiscard]] virtual bool runMailWizard(MailWizard &wizard) = 0;
    // A run of the same letter to the same members was interrupted: go on with the members
    // not yet mailed, start over, or do nothing now.
    enum class InterruptedRun
    {
        Continue,
        StartOver,
        Cancel,
    };
    [[nodiscard]] virtual InterruptedRun askInterruptedRun(const QString &text) = 0;
    // The generator window for one run, not shown yet.
    [[nodiscard]] virtual std::unique_ptr<GeneratorWindow> openGenerator() = 0;

    // Shows a contact of the session, read-only, or opens a message in a letter window to
    // edit; not modal.
    virtual void showContact(const QString &entryId) = 0;
    virtual void showMessage(const QString &entryId) = 0;
    // Closes every open letter window before the program ends. With `ask` false (the session
    // is ending, no one may answer) unsaved letters are saved to Drafts without a question and
    // what could not be kept is added to `problems`. False when the user kept one open.
    [[nodiscard]] virtual bool closeLetters(bool ask, QStringList &problems)
    {
        (void)ask;
        (void)problems;
        return true;
    }
};

} // namespace corvel
