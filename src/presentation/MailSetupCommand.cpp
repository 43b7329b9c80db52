#include "presentation/MailSetupCommand.h"

#include "presentation/DialogHost.h"
#include "presentation/MailSetupForm.h"
#include "session/ExistingStoreFinder.h"
#include "workspace/Workspace.h"

using namespace Qt::StringLiterals;

namespace corvel {

MailSetupCommand::MailSetupCommand(Workspace &workspace, DialogHost &dialogs)
    : m_workspace(workspace)
    , m_dialogs(dialogs)
{
}

void MailSetupCommand::doBtnMailSetup()
{
    MailSetupForm form;
    form.load(m_workspace.settings());
    const UserPaths user = m_workspace.userPaths();
    form.setSuggestions(ExistingStoreFinder(user.home, user.configHome).find());
    if (!m_dialogs.editMailSetup(form))
        return;
    if (!form.save(m_workspace.settings())) {
        m_dialogs.critical(
            u"The mail set-up could not be saved in %1."_s.arg(m_workspace.settings().filePath()));
        return;
    }
    if (const Status reloaded = m_workspace.reloadStores(); !reloaded.ok())
        m_dialogs.critical(u"The stores could not be opened: %1"_s.arg(reloaded.error()));
}

} // namespace corvel
