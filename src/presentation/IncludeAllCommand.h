#pragma once

namespace corvel {

class DialogHost;
class ToolStates;
class Workspace;

// Include All: the tool's check turned over and the choice of folders kept for the next
// start; a choice that cannot be kept is shown.
class IncludeAllCommand
{
public:
    IncludeAllCommand(Workspace &workspace, DialogHost &dialogs, ToolStates &tools);

    void doBtnIncludeAll();

private:
    Workspace &m_workspace;
    DialogHost &m_dialogs;
    ToolStates &m_tools;
};

} // namespace corvel
