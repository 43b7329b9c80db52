#include "presentation/DialogPrompter.h"

#include "groups/GetNameForm.h"
#include "presentation/DialogHost.h"

namespace corvel {

DialogPrompter::DialogPrompter(DialogHost &dialogs)
    : m_dialogs(dialogs)
{
}

PromptReply DialogPrompter::askName(const PromptRequest &request)
{
    if (m_stopped)
        return {};
    GetNameForm form(QString(), request.caption);
    form.setMemberText(request.forWhom());
    const bool answered = m_dialogs.askName(form);
    return {answered ? form.answer() : QString(), form.runStopped()};
}

} // namespace corvel
