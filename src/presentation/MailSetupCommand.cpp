#include "presentation/MailSetupCommand.h"

#include "presentation/DialogHost.h"
#include "presentation/MailSetupForm.h"
#include "remote/StoreRegistration.h"
#include "session/ExistingStoreFinder.h"
#include "support/CRegSettings.h"
#include "support/StoreLocation.h"
#include "workspace/Workspace.h"

using namespace Qt::StringLiterals;

namespace corvel {

MailSetupCommand::MailSetupCommand(Workspace &workspace, DialogHost &dialogs)
    : m_workspace(workspace)
    , m_dialogs(dialogs)
{
}

QStringList MailSetupCommand::doBtnMailSetup()
{
    MailSetupForm form;
    form.load(m_workspace.settings());
    const UserPaths user = m_workspace.userPaths();
    form.setSuggestions(ExistingStoreFinder(user.home, user.configHome).find());
    if (!m_dialogs.editMailSetup(form))
        return {};
    CRegSettings &settings = m_workspace.settings();
    QStringList problems;
    // A server's store left out goes as remove-store takes it: its cache and keyring entry too.
    for (const QString &name : removedServers(form)) {
        if (const Status dropped = StoreRegistration(settings, user.cacheHome).remove(name);
            !dropped.ok())
            problems << dropped.error();
    }
    // The rest first, so that a name this dialog freed can be taken by a new server.
    bool saved = form.withoutNewServers().save(settings);
    QStringList added;
    const std::vector<ServerStoreForm> servers = form.newServers(); // the form loses refused ones
    for (const ServerStoreForm &server : servers) {
        if (const Status done = server.registerIn(settings, user.cacheHome); !done.ok()) {
            problems << done.error();
            for (int i = static_cast<int>(form.stores().size()) - 1; i >= 0; --i) {
                if (form.stores()[i].name == server.name)
                    form.removeStore(i);
            }
            continue;
        }
        added << server.name;
    }
    // Again, for the order the dialog showed.
    saved = form.save(settings) && saved;
    if (!saved)
        problems << u"The mail set-up could not be saved in %1."_s.arg(settings.filePath());
    if (const Status reloaded = m_workspace.reloadStores(); !reloaded.ok())
        problems << u"The stores could not be opened: %1"_s.arg(reloaded.error());
    if (!problems.isEmpty())
        m_dialogs.critical(problems.join(u"\n"_s));
    return added;
}

QStringList MailSetupCommand::removedServers(const MailSetupForm &form) const
{
    QStringList removed;
    for (const auto &[name, location] :
         m_workspace.settings().allSettings(MailSetupForm::storesSection())) {
        const auto &stores = form.stores();
        if (IsRemoteLocation(location) &&
            std::none_of(stores.begin(), stores.end(),
                         [&](const LocalStore &s) { return s.name == name; }))
            removed << name;
    }
    return removed;
}

} // namespace corvel
