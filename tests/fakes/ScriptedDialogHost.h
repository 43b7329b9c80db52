#pragma once

#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "workspace/DialogHost.h"
#include "workspace/FileDialogRequest.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace corvel {

// A DialogHost for tests: answers come from queues filled beforehand, and every dialog
// asked for is recorded as "kind: text" in the order asked.
class ScriptedDialogHost : public DialogHost
{
public:
    using MailSetupScript = std::function<bool(MailSetupForm &)>;
    // A script edits the form as a user would and returns true to press OK (which the
    // host then does only when the form enables it).
    using GetNameScript = std::function<bool(GetNameForm &)>;
    using GetEMailScript = std::function<bool(GetEMailForm &)>;
    using CopyToScript = std::function<bool(CopyToForm &)>;
    using DynGrpScript = std::function<bool(DynGrpForm &)>;

    // Answers for questions, used in order; an empty queue answers No / Cancel.
    void queueAnswer(bool answer) { m_answers.push_back(answer); }
    // Answers to "save the changes?", used in order; an empty queue answers Cancel.
    void queueUnsavedAnswer(UnsavedChanges answer) { m_unsaved.push_back(answer); }
    // Whether open letters let the program close when the user is asked.
    void keepLettersOpen(bool keep) { m_keepLetters = keep; }
    // Each closeLetters call: whether it might ask.
    [[nodiscard]] const std::vector<bool> &letterClosings() const { return m_letterClosings; }
    // Edits for the mail set-up dialog, used in order; an empty queue cancels.
    void queueMailSetup(MailSetupScript script) { m_mailSetup.push_back(std::move(script)); }

    void queueGetName(GetNameScript script) { m_getName.push_back(std::move(script)); }
    void queueGetEMail(GetEMailScript script) { m_getEMail.push_back(std::move(script)); }
    void queueCopyTo(CopyToScript script) { m_copyTo.push_back(std::move(script)); }
    void queueDynGrp(DynGrpScript script) { m_dynGrp.push_back(std::move(script)); }
    // Shortcuts: type this and press OK.
    void queueName(const QString &name);
    void queueEMail(const QString &first, const QString &last, const QString &email);
    // Paths answered by file dialogs, in order; an empty queue cancels.
    void queueFile(const QString &path) { m_files.push_back(path); }
    [[nodiscard]] const std::vector<FileDialogRequest> &fileRequests() const
    {
        return m_fileRequests;
    }

    [[nodiscard]] const QStringList &asked() const { return m_asked; }
    void clear() { m_asked.clear(); }

    void information(const QString &text) override;
    [[nodiscard]] bool questionOkCancel(const QString &text) override;
    [[nodiscard]] bool questionYesNo(const QString &text) override;
    void critical(const QString &text) override;
    [[nodiscard]] UnsavedChanges askUnsavedChanges(const QString &text) override;
    void showAbout() override;
    [[nodiscard]] bool editMailSetup(MailSetupForm &form) override;
    [[nodiscard]] bool GetName(GetNameForm &form) override;
    [[nodiscard]] bool GetEMail(GetEMailForm &form) override;
    [[nodiscard]] bool FindCopyTo(CopyToForm &form) override;
    [[nodiscard]] bool FGetParms(DynGrpForm &form) override;
    [[nodiscard]] QString chooseFile(const FileDialogRequest &request) override;
    void showContact(const QString &entryId) override;
    void showMessage(const QString &entryId) override;
    [[nodiscard]] bool closeLetters(bool ask, QStringList &problems) override;

private:
    bool nextAnswer();

    std::deque<bool> m_answers;
    std::deque<UnsavedChanges> m_unsaved;
    bool m_keepLetters = false;
    std::vector<bool> m_letterClosings;
    std::deque<MailSetupScript> m_mailSetup;
    std::deque<GetNameScript> m_getName;
    std::deque<GetEMailScript> m_getEMail;
    std::deque<CopyToScript> m_copyTo;
    std::deque<DynGrpScript> m_dynGrp;
    std::deque<QString> m_files;
    std::vector<FileDialogRequest> m_fileRequests;
    QStringList m_asked;
};

} // namespace corvel
