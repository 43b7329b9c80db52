#pragma once

namespace corvel {

class DialogHost;
class Workspace;

// New Message: a new letter saved in the Drafts folder group mail reads, then shown in a
// letter window.
class NewMessageCommand
{
public:
    NewMessageCommand(Workspace &workspace, DialogHost &dialogs);

    void doBtnNewMsg();

private:
    Workspace &m_workspace;
    DialogHost &m_dialogs;
};

} // namespace corvel
