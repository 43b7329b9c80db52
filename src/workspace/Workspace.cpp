#include "workspace/Workspace.h"

#include "delivery/DeliveryAgent.h"
#include "delivery/LocalDelivery.h"
#include "merge/DraftsFolder.h"
#include "session/LocalApplication.h"
#include "session/OutlookSession.h"
#include "session/StoreRegistry.h"
#include "support/AtomicFile.h"
#include "support/FieldStrings.h"
#include "workspace/StoreSyncs.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString parmsSection()
{
    return u"Parms"_s;
}
QString loadAllKey()
{
    return u"LoadAll"_s;
}
QString shutdownProblemKey()
{
    return u"ShutdownProblem"_s;
}

// The one place a run finds the user's folders: the layers below are handed them.
Workspace::Options withUserPaths(Workspace::Options options)
{
    if (!options.configRoot.isEmpty() && !options.dataRoot.isEmpty() &&
        !options.homeDir.isEmpty() && !options.cacheRoot.isEmpty())
        return options;
    const UserPaths found = UserPaths::fromEnvironment();
    if (options.configRoot.isEmpty())
        options.configRoot = found.configHome;
    if (options.dataRoot.isEmpty())
        options.dataRoot = found.dataHome;
    if (options.homeDir.isEmpty())
        options.homeDir = found.home;
    if (options.cacheRoot.isEmpty())
        options.cacheRoot = found.cacheHome;
    return options;
}

} // namespace

Workspace::Workspace(Options options, ApplicationFactory factory)
    : m_options(withUserPaths(std::move(options)))
    , m_factory(factory ? std::move(factory) : localStore(m_options.dataRoot, m_options.cacheRoot))
    , m_settings(m_options.configRoot)
    , m_groups(m_options.appPath, m_options.shippedDir)
{
    m_settings.setCompany(u"Tessary"_s);
    m_settings.setAppName(u"Corvel"_s);
    m_fields.SetFieldDelimiter(ListSeparator.front());
    m_fields.SetSubFieldDelimiter(u'~');
}

Workspace::~Workspace() = default;

UserPaths Workspace::userPaths() const
{
    return {m_options.homeDir, m_options.configRoot, m_options.dataRoot, m_options.cacheRoot};
}

Workspace::ApplicationFactory Workspace::localStore(const QString &dataRoot,
                                                    const QString &cacheRoot)
{
    return [dataRoot, cacheRoot](CRegSettings &settings) -> std::shared_ptr<OlApplication> {
        StoreRegistry registry(settings, dataRoot, cacheRoot);
        return std::make_shared<LocalApplication>(registry.stores(),
                                                  LocalNamespace::AccountLookup{}, &settings);
    };
}

StoreSyncs &Workspace::storeSyncs()
{
    if (!m_storeSyncs)
        m_storeSyncs = std::make_unique<StoreSyncs>(m_settings, m_options.cacheRoot);
    return *m_storeSyncs;
}

bool Workspace::includeAllFolders() const
{
    return m_settings.getSetting(parmsSection(), loadAllKey(), u"1"_s) == u"1"_s;
}

Status Workspace::setIncludeAllFolders(bool all)
{
    if (m_settings.saveSetting(parmsSection(), loadAllKey(), all ? u"1"_s : u"0"_s))
        return {};
    const QString problem = m_settings.problem();
    return Status::failure(u"The choice of folders could not be kept in %1%2"_s.arg(
        m_settings.filePath(), problem.isEmpty() ? u"."_s : u": "_s + problem));
}

bool Workspace::keepShutdownProblems(const QStringList &problems)
{
    return m_settings.saveSetting(parmsSection(), shutdownProblemKey(), problems.join(u' '));
}

QString Workspace::takeShutdownProblems()
{
    const QString kept = m_settings.getSetting(parmsSection(), shutdownProblemKey(), QString());
    if (kept.isEmpty())
        return {};
    (void)m_settings.deleteSetting(parmsSection(), shutdownProblemKey());
    return u"When the program last closed: %1"_s.arg(kept);
}

void Workspace::removeStaleTemporaries() const
{
    for (const QString &path :
         {m_settings.filePath(), m_groups.groupFilePath(), m_groups.groupBackupPath(),
          m_groups.folderSettingsPath(), m_groups.folderSettingsBackupPath()})
        AtomicFile::removeStaleTemporaries(path);
}

Workspace::Opened Workspace::open(BusyIndicator *busy)
{
    Opened opened;
    removeStaleTemporaries();
    // Said first and kept in the status bar: a settings file that cannot be read whole means
    // stores, transport and choices may be missing from this run.
    const QString settingsProblem = m_settings.problem();
    if (!settingsProblem.isEmpty())
        opened.details << settingsProblem;
    if (Status loaded = m_groups.loadColumnSets(); !loaded.ok())
        opened.details << loaded.error();

    const QString cannotStart = u"Error - Unable to Start the Mail Session"_s;
    try {
        m_application = m_factory(m_settings);
    } catch (const OutlookError &error) {
        opened.details << error.message();
    }
    if (!m_application) {
        opened.statusText = cannotStart;
        return opened;
    }
    const QString cannotList = u"Error - Unable to retrieve the Mail Folders"_s;
    try {
        m_session = m_application->GetNamespace(u"MAPI"_s);
    } catch (const OutlookError &error) {
        opened.details << error.message();
    }
    if (!m_session) {
        opened.statusText = cannotList;
        return opened;
    }
    attachDelivery();

    m_folderTree.emplace(m_tree, *m_session, m_groups, busy);
    if (Status built = m_folderTree->loadFolderTree(includeAllFolders()); !built.ok()) {
        // Shown rather than cleared: a build cut short must not pass for a complete tree.
        opened.statusText = built.error();
        opened.details << built.error();
    }
    m_sessionReady = true;
    if (opened.statusText.isEmpty() && !opened.details.isEmpty())
        opened.statusText = opened.details.first();
    return opened;
}

Status Workspace::reloadStores(BusyIndicator *busy)
{
    if (!m_sessionReady)
        return {};
    std::shared_ptr<OlApplication> application;
    std::shared_ptr<OlNamespace> session;
    try {
        application = m_factory(m_settings);
        session = application ? application->GetNamespace(u"MAPI"_s) : nullptr;
    } catch (const OutlookError &error) {
        return Status::failure(error.message());
    }
    if (!session)
        return Status::failure(u"Error - Unable to retrieve the Mail Folders"_s);
    FolderTree folderTree(m_tree, *session, m_groups, busy);
    if (Status built = folderTree.reloadStores(includeAllFolders()); !built.ok())
        return built;
    // The old delivery stops before its session goes (the message in hand finishes): mail
    // queued from now on is in the new session's Outboxes and must wake the new agent.
    m_delivery.reset();
    m_application = std::move(application);
    m_session = std::move(session);
    m_folderTree.emplace(std::move(folderTree));
    attachDelivery();
    return {};
}

void Workspace::attachDelivery()
{
    if (auto *local = dynamic_cast<LocalNamespace *>(m_session.get())) {
        m_delivery = std::make_unique<LocalDelivery>(*local, &m_settings);
        if (m_deliveryStarted)
            m_delivery->agent().start();
    }
}

void Workspace::startDelivery()
{
    m_deliveryStarted = true;
    if (m_delivery)
        m_delivery->agent().start();
}

void Workspace::stopBackgroundWork()
{
    m_storeSyncs.reset();
    m_delivery.reset();
    m_groups.finishSaves();
}

QStringList Workspace::save()
{
    QStringList problems;
    if (!m_sessionReady)
        return problems;
    if (Status saved = m_groups.saveGroupFile(m_tree); !saved.ok())
        problems << saved.error();
    if (Status saved = m_groups.saveColumnSets(m_tree); !saved.ok())
        problems << saved.error();
    return problems;
}

QString Workspace::sourceFolderIds() const
{
    return m_folderTree ? m_folderTree->sourceFolderIds() : QString();
}

QString Workspace::draftsStoreSection()
{
    return parmsSection();
}

QString Workspace::draftsStoreKey()
{
    return QStringLiteral("DraftsStore");
}

QString Workspace::draftsStore() const
{
    return m_settings.getSetting(draftsStoreSection(), draftsStoreKey(), QString());
}

std::shared_ptr<OlFolder> Workspace::draftsFolder() const
{
    return m_session ? DraftsFolder::choose(*m_session, draftsStore(), includeAllFolders())
                     : nullptr;
}

QString Workspace::draftsEntryId() const
{
    try {
        const std::shared_ptr<OlFolder> drafts = draftsFolder();
        return drafts ? drafts->EntryID() : QString();
    } catch (const OutlookError &) {
        return {};
    }
}

} // namespace corvel
