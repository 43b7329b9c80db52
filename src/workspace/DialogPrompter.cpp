#include "workspace/DialogPrompter.h"

#include "groups/GetNameForm.h"
#include "workspace/DialogHost.h"

namespace corvel {

DialogPrompter::DialogPrompter(DialogHost &dialogs)
    : m_dialogs(dialogs)
{
}

PromptReply DialogPrompter::GetName(const PromptRequest &request)
{
    if (m_stopped)
        return {};
    GetNameForm form(QString(), request.caption);
    return {m_dialogs.GetName(form) ? form.answer() : QString()};
}

} // namespace corvel
