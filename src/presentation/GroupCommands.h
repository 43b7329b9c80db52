#pragma once

#include "groups/AddressListImport.h"
#include "groups/GroupId.h"
#include "support/JobRunner.h"
#include "support/Result.h"

#include <QString>

#include <functional>
#include <memory>

namespace corvel {

class BusyIndicator;
class DialogHost;
class GroupEditor;
class MailGroups;
class Status;
class StatusPanels;
class Workspace;
struct NodeHandle;

// The group commands of the window: each asks what it needs through the dialogs, changes
// the groups through MailGroups (as corvelctl does), and has the group file saved once it
// is done.
class GroupCommands
{
public:
    struct Services
    {
        Workspace *workspace = nullptr;
        DialogHost *dialogs = nullptr;
        StatusPanels *panels = nullptr;
        BusyIndicator *busy = nullptr;
        // The node the command works on (selIndex); -1 when none.
        std::function<int()> selIndex;
        // "General Date" text of the present moment; tests pass a fixed one.
        std::function<QString()> now;
        // Where long work runs off the event loop; null: it runs in place.
        JobRunner *jobs = nullptr;
    };

    explicit GroupCommands(Services services);

    void doBtnNewMailGrp(int rootIndex);
    void doBtnChgName();
    void doBtnAddContact();
    void doBtnEditItem();
    void doBtnDelete();
    void doBtnCopy();
    void copyToGroup(GroupId group);
    void editDynamicGroup();
    void loadDynamicGroup(GroupId group);
    void verifyAddresses();
    void saveAddressList();
    void loadAddressList();
    // Makes Standard Mail Groups of the group cards of the selected contact folder.
    void importAddressBookGroups();

    [[nodiscard]] const QString &lastCopyTarget() const { return m_lastCopyTarget; }

    // Writes the group file; a failure shows in status panel 2 and is tried again after
    // the next change.
    void saveGroups();
    [[nodiscard]] bool savePending() const { return m_savePending; }

private:
    [[nodiscard]] GroupEditor editor() const;
    [[nodiscard]] MailGroups groups() const;
    // What every command that changed a group ends with: `select` becomes the one selected
    // node, the count of `counted` (if any) is shown, and the group file is saved.
    void finish(NodeHandle select, NodeHandle counted, bool save = true);
    void loadInBackground(GroupId id);
    // Long work goes to the job runner, which applies its result once done uncancelled;
    // without one it runs and applies in place. Panel 2 says what is being done meanwhile.
    void runJob(const QString &caption, JobRunner::Work work);
    // Panel 2 cleared and panel 1's percent bar replaced by the count, once a job ended
    // without finish().
    void endJob(NodeHandle counted);
    void addressListLoaded(NodeHandle group, const QString &path,
                           Result<AddressListImport::Built> &&built);
    [[nodiscard]] QString lastSavePath() const;
    void rememberFolder(const QString &path);
    void showCount(NodeHandle group);
    void showSaved(const Status &saved);

    Services m_services;
    QString m_lastCopyTarget;
    bool m_savePending = false;
    bool m_saveQueued = false; // a background save waits for its turn of the event loop
    // A save written in the background answers only while the commands are there to hear it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace corvel
