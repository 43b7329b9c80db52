#pragma once

#include <QStringList>

namespace corvel {

class DialogHost;
class MailSetupForm;
class Workspace;

// Mail Setup: the stores and the sending settings edited in their dialog, with the stores
// found elsewhere on the machine offered, and saved to the settings file; the tree shows the
// stores as saved at once.
class MailSetupCommand
{
public:
    MailSetupCommand(Workspace &workspace, DialogHost &dialogs);

    // The stores on servers added, whose first sync is for the caller to start.
    QStringList doBtnMailSetup();

private:
    // Registered stores on servers the form no longer has.
    [[nodiscard]] QStringList removedServers(const MailSetupForm &form) const;

    Workspace &m_workspace;
    DialogHost &m_dialogs;
};

} // namespace corvel
