#pragma once

namespace corvel {

class DialogHost;
class Workspace;

// Mail Setup: the stores and the sending settings edited in their dialog, with the stores
// found elsewhere on the machine offered, and saved to the settings file; the tree shows the
// stores as saved at once.
class MailSetupCommand
{
public:
    MailSetupCommand(Workspace &workspace, DialogHost &dialogs);

    void doBtnMailSetup();

private:
    Workspace &m_workspace;
    DialogHost &m_dialogs;
};

} // namespace corvel
