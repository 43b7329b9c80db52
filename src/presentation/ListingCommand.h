#pragma once

#include "folders/FolderListing.h"
#include "folders/ItemLists.h"

#include "groups/GroupId.h"

#include <functional>

namespace corvel {

class BusyIndicator;
class DialogHost;
class JobRunner;
class StatusPanels;
class StoreSyncCommand;
class Workspace;

// Load Contacts, Load Messages and Refresh of the node at a display index: folders are listed
// through FolderListing (as corvelctl list does), a dynamic group is reloaded by the group
// commands. Why a listing failed is shown, the tree left as it was. With a job runner the
// folder is read on its worker and the rows placed when the read completes.
class ListingCommand
{
public:
    struct Services
    {
        Workspace *workspace = nullptr;
        DialogHost *dialogs = nullptr;
        StatusPanels *panels = nullptr; // may be null
        BusyIndicator *busy = nullptr;  // may be null
        std::function<void(const GroupId &group)> loadDynamicGroup;
        StoreSyncCommand *storeSyncs = nullptr; // may be null: folders on servers not synced
        // Reads folders off the event loop when given; null lists synchronously.
        JobRunner *jobs = nullptr;
    };

    explicit ListingCommand(Services services);

    void doBtnLoadContacts(int index);
    void doBtnLoadMessages(int index);
    void doBtnRefresh(int index);

private:
    void list(int index, FolderListing::Items items);
    void listInBackground(ItemLists &lists, NodeHandle node, FolderListing::Items items);
    void placeRows(const ItemLists::Plan &plan, Result<TreeBranch> &&rows);

    Services m_services;
};

} // namespace corvel
