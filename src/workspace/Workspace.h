#pragma once

#include "folders/FolderTree.h"
#include "groups/GroupStore.h"
#include "support/CRegSettings.h"
#include "support/DelimitedFields.h"
#include "support/Result.h"
#include "tree/TreeList.h"
#include "workspace/UserPaths.h"

#include <functional>
#include <memory>
#include <optional>

namespace corvel {

class BusyIndicator;
class LocalDelivery;
class OlApplication;
class OlFolder;
class OlNamespace;
class StoreSyncs;

// Everything the program holds for a run apart from its window: the settings, the column
// sets, the mail session and the main tree with the groups. The window and the command-line
// companion both start and end a run through it, so they see the same data the same way.
class Workspace
{
public:
    struct Options
    {
        QString appPath;    // where the data files live
        QString shippedDir; // where the program's own files are (the executable's folder)
        // The user's folders (see UserPaths); each left empty is found from the environment.
        QString configRoot; // settings folder
        QString dataRoot;   // data home: the personal folders and the program's data folder
        QString homeDir;
        QString cacheRoot; // cache home: the remote stores' caches
    };
    // Opens the mail system; throws OutlookError when it cannot be started.
    using ApplicationFactory = std::function<std::shared_ptr<OlApplication>(CRegSettings &)>;

    explicit Workspace(Options options, ApplicationFactory factory = {});
    ~Workspace();

    // The local mail store over the registered stores (making the personal folders on a first run).
    // Without a cacheRoot, stores on servers are left out.
    [[nodiscard]] static ApplicationFactory localStore(const QString &dataRoot,
                                                       const QString &cacheRoot = {});

    struct Opened
    {
        QString statusText;  // for the status bar: empty when all went well
        QStringList details; // every problem met, with its reason
    };
    // Loads the column sets, opens the session and builds the tree. What could not be read
    // (the settings file, a data file) is in the details and, first of all, the status text.
    Opened open(BusyIndicator *busy = nullptr);

    // Opens the session again over the stores now registered and puts them in the tree in
    // place of the old ones; the groups and everything else in the tree stay. On failure the
    // tree and the session are left as they were.
    [[nodiscard]] Status reloadStores(BusyIndicator *busy = nullptr);

    // Sends what waits in the Outbox, from earlier runs or other programs, in the background
    // for the rest of the run (the local store's sessions only).
    void startDelivery();
    // Stops what runs in the background (delivery, syncs with servers), each finishing the
    // step in hand and keeping its outcome, as destruction would; group saves still waiting
    // are written first.
    void stopBackgroundWork();

    // Writes the groups and the column sets when the session was opened in this run.
    // Returns what could not be written; the column sets are saved even when the groups fail.
    [[nodiscard]] QStringList save();

    // Keeps why the last run's shutdown could not save, for the next start to show: a run
    // ended by the session has no one to show it to. False when it cannot be kept either.
    [[nodiscard]] bool keepShutdownProblems(const QStringList &problems);
    // What keepShutdownProblems kept, said once: empty when nothing was.
    [[nodiscard]] QString takeShutdownProblems();

    [[nodiscard]] bool isSessionOpen() const { return m_sessionReady; }
    // Whether the tree shows every folder or only contact and mail folders (Parms/LoadAll).
    [[nodiscard]] bool includeAllFolders() const;
    [[nodiscard]] Status setIncludeAllFolders(bool all);
    [[nodiscard]] CRegSettings &settings() { return m_settings; }
    [[nodiscard]] TreeList &tree() { return m_tree; }
    [[nodiscard]] const TreeList &tree() const { return m_tree; }
    [[nodiscard]] GroupStore &groups() { return m_groups; }
    [[nodiscard]] const DelimitedFields &fields() const { return m_fields; }
    [[nodiscard]] OlApplication *application() const { return m_application.get(); }
    [[nodiscard]] OlNamespace *session() const { return m_session.get(); }
    [[nodiscard]] QString sourceFolderIds() const;
    // The store Mail Setup chose for new drafts (Parms/DraftsStore), read afresh each time so
    // that a change there counts at once; empty when none is chosen.
    [[nodiscard]] QString draftsStore() const;
    // Where the Mail Setup dialog keeps that choice.
    [[nodiscard]] static QString draftsStoreSection();
    [[nodiscard]] static QString draftsStoreKey();
    // The Drafts folder New Message saves in and Create Mail lists (see DraftsFolder); null
    // when there is none. Throws OutlookError when the stores cannot be read.
    [[nodiscard]] std::shared_ptr<OlFolder> draftsFolder() const;
    // Its EntryId; empty when there is none or it cannot be found.
    [[nodiscard]] QString draftsEntryId() const;
    [[nodiscard]] const Options &options() const { return m_options; }
    [[nodiscard]] UserPaths userPaths() const;
    // The syncs of the stores on servers, for the window (made on first use).
    [[nodiscard]] StoreSyncs &storeSyncs();

private:
    void removeStaleTemporaries() const;
    // Delivery over the current session's Outboxes, started when it was before.
    void attachDelivery();

    Options m_options;
    ApplicationFactory m_factory;
    CRegSettings m_settings;
    DelimitedFields m_fields;
    TreeList m_tree;
    GroupStore m_groups;
    std::shared_ptr<OlApplication> m_application;
    std::shared_ptr<OlNamespace> m_session;
    std::unique_ptr<LocalDelivery> m_delivery; // the local store's sessions only
    bool m_deliveryStarted = false;
    std::optional<FolderTree> m_folderTree;
    std::unique_ptr<StoreSyncs> m_storeSyncs;
    bool m_sessionReady = false;
};

} // namespace corvel
