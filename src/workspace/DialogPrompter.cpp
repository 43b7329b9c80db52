#include "workspace/DialogPrompter.h"

#include "groups/GetNameForm.h"
#include "workspace/DialogHost.h"

namespace corvel {

DialogPrompter::DialogPrompter(DialogHost &dialogs)
    : m_dialogs(dialogs)
{
}

QString DialogPrompter::GetName(const QString &initial, const QString &caption, const QString &,
                                const QString &)
{
    if (m_stopped)
        return {};
    GetNameForm form(initial, caption);
    return m_dialogs.GetName(form) ? form.answer() : QString();
}

} // namespace corvel
