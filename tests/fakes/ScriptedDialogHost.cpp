#include "fakes/ScriptedDialogHost.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The next queued answer, or `none` once the queue is empty.
template<typename T>
T takeFront(std::deque<T> &queue, T none = {})
{
    if (queue.empty())
        return none;
    T next = std::move(queue.front());
    queue.pop_front();
    return next;
}

// Runs the next script on the form; OK only counts when the form enables it.
template<typename Form, typename Script>
bool runScript(std::deque<Script> &queue, Form &form)
{
    const Script script = takeFront(queue);
    if (!script || !script(form) || !form.okEnabled())
        return false;
    form.accept();
    return true;
}

} // namespace

void ScriptedDialogHost::queueName(const QString &name)
{
    queueGetName([name](GetNameForm &form) {
        form.setText(name);
        return true;
    });
}

void ScriptedDialogHost::queueEMail(const QString &first, const QString &last, const QString &email)
{
    queueGetEMail([=](GetEMailForm &form) {
        form.setFirstName(first);
        form.setLastName(last);
        form.setEmail(email);
        return true;
    });
}

bool ScriptedDialogHost::askName(GetNameForm &form)
{
    m_asked << u"getname: "_s + form.caption();
    if (!form.memberText().isEmpty())
        m_asked.last() += u' ' + form.memberText();
    return runScript(m_getName, form);
}

bool ScriptedDialogHost::askEMail(GetEMailForm &form)
{
    m_asked << u"getemail: "_s + form.caption();
    return runScript(m_getEMail, form);
}

bool ScriptedDialogHost::askCopyTarget(CopyToForm &form)
{
    m_asked << u"copyto: "_s + CopyToForm::caption();
    return runScript(m_copyTo, form);
}

bool ScriptedDialogHost::askDynamicGroup(DynGrpForm &form)
{
    m_asked << u"dyngrp: "_s + form.title();
    return runScript(m_dynGrp, form);
}

QString ScriptedDialogHost::chooseFile(const FileDialogRequest &request)
{
    m_asked << u"file: "_s + request.title;
    m_fileRequests.push_back(request);
    return takeFront(m_files);
}

bool ScriptedDialogHost::runMailWizard(MailWizard &wizard)
{
    m_asked << u"wizard: "_s + wizard.membersSummaryText();
    const WizardScript script = takeFront(m_wizard);
    return script && script(wizard) && wizard.wizardDoStep().finish;
}

DialogHost::InterruptedRun ScriptedDialogHost::askInterruptedRun(const QString &text)
{
    m_asked << u"interrupted: "_s + text;
    return takeFront(m_interrupted, InterruptedRun::Cancel);
}

std::unique_ptr<GeneratorWindow> ScriptedDialogHost::openGenerator()
{
    m_asked << u"generator"_s;
    m_generatorRecords.emplace_back();
    return std::make_unique<RecordingGeneratorWindow>(m_generatorRecords.back(), m_generatorEvents);
}

bool ScriptedDialogHost::nextAnswer()
{
    return takeFront(m_answers, false);
}

DialogHost::UnsavedChanges ScriptedDialogHost::askUnsavedChanges(const QString &text)
{
    m_asked << u"unsaved: "_s + text;
    return takeFront(m_unsaved, UnsavedChanges::Cancel);
}

bool ScriptedDialogHost::editMailSetup(MailSetupForm &form)
{
    m_asked << u"mailsetup"_s;
    const MailSetupScript script = takeFront(m_mailSetup);
    return script && script(form);
}

} // namespace corvel
