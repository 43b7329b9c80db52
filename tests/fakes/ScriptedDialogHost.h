#pragma once

#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "merge/MailWizard.h"
#include "presentation/DialogHost.h"
#include "presentation/FileDialogRequest.h"
#include "presentation/GeneratorWindow.h"
#include "presentation/PublishTargetForm.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace corvel {

// The generator window of a test: records what a run shows; onEvents runs at every
// chance the run gives the user (a test presses Cancel there).
class RecordingGeneratorWindow : public GeneratorWindow
{
public:
    struct Record
    {
        bool shown = false;
        bool closed = false;
        int eventTurns = 0;
        QStringList statuses;
        QStringList criticals;
        int lastPercent = -1;
        QString heading;
        QStringList outcome;
    };

    using Events = std::function<void(RecordingGeneratorWindow &, int turn)>;

    RecordingGeneratorWindow(Record &record, Events onEvents)
        : m_record(record)
        , m_onEvents(std::move(onEvents))
    {
    }

    void show() override { m_record.shown = true; }
    void setStatus(const QString &text) override { m_record.statuses << text; }
    void setPercent(int percent) override { m_record.lastPercent = percent; }
    void letEventsRun() override
    {
        ++m_record.eventTurns;
        if (m_onEvents)
            m_onEvents(*this, m_record.eventTurns);
    }
    void critical(const QString &text) override { m_record.criticals << text; }
    void setCancelHandler(std::function<void()> handler) override { m_cancel = std::move(handler); }
    void showOutcome(const QString &heading, const QStringList &lines) override
    {
        m_record.heading = heading;
        m_record.outcome = lines;
    }
    void closeWindow() override { m_record.closed = true; }
    // Cancel as the window's button gives it.
    void pressCancel()
    {
        if (m_cancel)
            m_cancel();
    }

private:
    Record &m_record;
    Events m_onEvents;
    std::function<void()> m_cancel;
};

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
    // The row the next publish chooser picks; -1 (the default) cancels.
    void choosePublishTarget(int row) { m_publishRow = row; }
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

    // The wizard: a script clicks through it and returns true for Finish (which counts only
    // when the wizard offers it); an empty queue leaves it with Exit.
    using WizardScript = std::function<bool(MailWizard &)>;
    void queueWizard(WizardScript script) { m_wizard.push_back(std::move(script)); }
    // Answers to the interrupted run's question; an empty queue cancels.
    void queueInterruptedRun(InterruptedRun answer) { m_interrupted.push_back(answer); }
    // What the generator windows of the runs showed, one record per window opened.
    [[nodiscard]] const std::deque<RecordingGeneratorWindow::Record> &generators() const
    {
        return m_generatorRecords;
    }
    // Runs at every event turn of the next generator windows, with the window to press
    // Cancel on and the turn's number (1 first).
    void setGeneratorEvents(RecordingGeneratorWindow::Events events)
    {
        m_generatorEvents = std::move(events);
    }

    [[nodiscard]] const QStringList &asked() const { return m_asked; }
    void clear() { m_asked.clear(); }

    void information(const QString &text) override { note(u"information: ", text); }
    [[nodiscard]] bool questionOkCancel(const QString &text) override
    {
        return note(u"okcancel: ", text), nextAnswer();
    }
    [[nodiscard]] bool questionYesNo(const QString &text) override
    {
        return note(u"yesno: ", text), nextAnswer();
    }
    void critical(const QString &text) override { note(u"critical: ", text); }
    [[nodiscard]] UnsavedChanges askUnsavedChanges(const QString &text) override;
    void showAbout() override { note(u"about", {}); }
    [[nodiscard]] bool editMailSetup(MailSetupForm &form) override;
    [[nodiscard]] bool askName(GetNameForm &form) override;
    [[nodiscard]] bool askEMail(GetEMailForm &form) override;
    [[nodiscard]] bool askCopyTarget(CopyToForm &form) override;
    [[nodiscard]] bool askDynamicGroup(DynGrpForm &form) override;
    [[nodiscard]] bool askPublishTarget(PublishTargetForm &form) override
    {
        return form.choose(std::exchange(m_publishRow, -1));
    }
    [[nodiscard]] QString chooseFile(const FileDialogRequest &request) override;
    [[nodiscard]] bool runMailWizard(MailWizard &wizard) override;
    [[nodiscard]] InterruptedRun askInterruptedRun(const QString &text) override;
    [[nodiscard]] std::unique_ptr<GeneratorWindow> openGenerator() override;
    void showContact(const QString &entryId) override { note(u"contact: ", entryId); }
    void showMessage(const QString &entryId) override { note(u"message: ", entryId); }
    [[nodiscard]] bool closeLetters(bool ask, QStringList &) override
    {
        m_letterClosings.push_back(ask);
        return !ask || !m_keepLetters;
    }

private:
    bool nextAnswer();
    void note(QStringView kind, const QString &text) { m_asked << kind.toString() + text; }

    std::deque<bool> m_answers;
    std::deque<UnsavedChanges> m_unsaved;
    bool m_keepLetters = false;
    int m_publishRow = -1;
    std::vector<bool> m_letterClosings;
    std::deque<MailSetupScript> m_mailSetup;
    std::deque<GetNameScript> m_getName;
    std::deque<GetEMailScript> m_getEMail;
    std::deque<CopyToScript> m_copyTo;
    std::deque<DynGrpScript> m_dynGrp;
    std::deque<QString> m_files;
    std::deque<WizardScript> m_wizard;
    std::deque<InterruptedRun> m_interrupted;
    // A deque: records stay where they are while later windows are added.
    std::deque<RecordingGeneratorWindow::Record> m_generatorRecords;
    RecordingGeneratorWindow::Events m_generatorEvents;
    std::vector<FileDialogRequest> m_fileRequests;
    QStringList m_asked;
};

} // namespace corvel
