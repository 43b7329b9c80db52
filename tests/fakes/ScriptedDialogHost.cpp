#include "fakes/ScriptedDialogHost.h"

using namespace Qt::StringLiterals;

namespace corvel {

bool ScriptedDialogHost::nextAnswer()
{
    if (m_answers.empty())
        return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedDialogHost::information(const QString &text)
{
    m_asked << u"information: "_s + text;
}

bool ScriptedDialogHost::questionOkCancel(const QString &text)
{
    m_asked << u"okcancel: "_s + text;
    return nextAnswer();
}

bool ScriptedDialogHost::questionYesNo(const QString &text)
{
    m_asked << u"yesno: "_s + text;
    return nextAnswer();
}

void ScriptedDialogHost::critical(const QString &text)
{
    m_asked << u"critical: "_s + text;
}

void ScriptedDialogHost::showAbout()
{
    m_asked << u"about"_s;
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
