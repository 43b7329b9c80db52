#include "fakes/ScriptedDialogHost.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Runs the next script on the form; OK only counts when the form enables it.
template<typename Form, typename Script>
bool runScript(std::deque<Script> &queue, Form &form)
{
    if (queue.empty())
        return false;
    const Script script = std::move(queue.front());
    queue.pop_front();
    if (!script(form) || !form.okEnabled())
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
    if (m_files.empty())
        return {};
    QString path = m_files.front();
    m_files.pop_front();
    return path;
}

bool ScriptedDialogHost::runMailWizard(MailWizard &wizard)
{
    m_asked << u"wizard: "_s + wizard.membersSummaryText();
    if (m_wizard.empty())
        return false;
    const WizardScript script = std::move(m_wizard.front());
    m_wizard.pop_front();
    return script(wizard) && wizard.wizardDoStep().finish;
}

DialogHost::InterruptedRun ScriptedDialogHost::askInterruptedRun(const QString &text)
{
    m_asked << u"interrupted: "_s + text;
    if (m_interrupted.empty())
        return InterruptedRun::Cancel;
    const InterruptedRun answer = m_interrupted.front();
    m_interrupted.pop_front();
    return answer;
}

std::unique_ptr<GeneratorWindow> ScriptedDialogHost::openGenerator()
{
    m_asked << u"generator"_s;
    m_generatorRecords.emplace_back();
    return std::make_unique<RecordingGeneratorWindow>(m_generatorRecords.back(), m_generatorEvents);
}

bool ScriptedDialogHost::nextAnswer()
{
    if (m_answers.empty())
        return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

DialogHost::UnsavedChanges ScriptedDialogHost::askUnsavedChanges(const QString &text)
{
    m_asked << u"unsaved: "_s + text;
    if (m_unsaved.empty())
        return UnsavedChanges::Cancel;
    const UnsavedChanges answer = m_unsaved.front();
    m_unsaved.pop_front();
    return answer;
}

bool ScriptedDialogHost::editMailSetup(MailSetupForm &form)
{
    m_asked << u"mailsetup"_s;
    if (m_mailSetup.empty())
        return false;
    const MailSetupScript script = std::move(m_mailSetup.front());
    m_mailSetup.pop_front();
    return script(form);
}

} // namespace corvel
