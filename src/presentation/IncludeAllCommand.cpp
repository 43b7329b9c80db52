#include "presentation/IncludeAllCommand.h"

#include "presentation/DialogHost.h"
#include "presentation/ToolStates.h"
#include "workspace/Workspace.h"

namespace corvel {

IncludeAllCommand::IncludeAllCommand(Workspace &workspace, DialogHost &dialogs, ToolStates &tools)
    : m_workspace(workspace)
    , m_dialogs(dialogs)
    , m_tools(tools)
{
}

void IncludeAllCommand::doBtnIncludeAll()
{
    const bool checked = !m_tools.isChecked(u"btnIncludeAll");
    m_tools.setChecked(u"btnIncludeAll", checked);
    if (const Status kept = m_workspace.setIncludeAllFolders(checked); !kept.ok())
        m_dialogs.critical(kept.error());
}

} // namespace corvel
