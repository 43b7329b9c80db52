#include "presentation/NewMessageCommand.h"

#include "merge/NewLetter.h"
#include "presentation/DialogHost.h"
#include "session/OutlookSession.h"
#include "workspace/Workspace.h"

using namespace Qt::StringLiterals;

namespace corvel {

NewMessageCommand::NewMessageCommand(Workspace &workspace, DialogHost &dialogs)
    : m_workspace(workspace)
    , m_dialogs(dialogs)
{
}

void NewMessageCommand::doBtnNewMsg()
{
    try {
        OlApplication *application = m_workspace.application();
        if (!application)
            throw OutlookError(u"No mail session is open."_s);
        // The letter is in Drafts now; the tree shows it at the next listing.
        const std::shared_ptr<OlItem> letter =
            NewLetter::doBtnNewMsg(*application, m_workspace.draftsFolder());
        m_dialogs.showMessage(letter->EntryID());
    } catch (const OutlookError &error) {
        m_dialogs.critical(error.message());
    }
}

} // namespace corvel
