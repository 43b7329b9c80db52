#include "workspace/Workspace.h"

#include "session/DeliveryAgent.h"
#include "session/LocalApplication.h"
#include "session/OutlookSession.h"
#include "session/StoreRegistry.h"

namespace corvel {

Workspace::Workspace(Options options, ApplicationFactory factory)
    : m_options(std::move(options))
    , m_factory(factory ? std::move(factory) : localStore(m_options.dataRoot))
    , m_settings(m_options.configRoot)
    , m_groups(m_options.appPath, m_options.shippedDir, m_options.twipsPerPixelX)
{
    m_settings.setCompany(QStringLiteral("Tessary"));
    m_settings.setAppName(QStringLiteral("Corvel"));
    m_fields.SetFieldDelimiter(QLatin1Char('^'));
    m_fields.SetSubFieldDelimiter(QLatin1Char('~'));
}

Workspace::~Workspace() = default;

Workspace::ApplicationFactory Workspace::localStore(const QString &dataRoot)
{
    return [dataRoot](CRegSettings &settings) -> std::shared_ptr<OlApplication> {
        StoreRegistry registry(settings, dataRoot);
        return std::make_shared<LocalApplication>(registry.stores(),
                                                  LocalNamespace::AccountLookup{}, &settings);
    };
}

bool Workspace::includeAllFolders() const
{
    return m_settings.GetSetting(QStringLiteral("Parms"), QStringLiteral("LoadAll"),
                                 QStringLiteral("1")) == QStringLiteral("1");
}

Workspace::Opened Workspace::open(BusyIndicator *busy)
{
    Opened opened;
    if (Status loaded = m_groups.LoadColumnSets(); !loaded.ok())
        opened.details << loaded.error();

    const QString cannotStart = QStringLiteral("Error - Unable to Start Outlook");
    try {
        m_application = m_factory(m_settings);
    } catch (const OutlookError &error) {
        opened.details << error.message();
    }
    if (!m_application) {
        opened.statusText = cannotStart;
        return opened;
    }
    const QString cannotList = QStringLiteral("Error - Unable to retrieve Outlook Folders");
    try {
        m_session = m_application->GetNamespace(QStringLiteral("MAPI"));
    } catch (const OutlookError &error) {
        opened.details << error.message();
    }
    if (!m_session) {
        opened.statusText = cannotList;
        return opened;
    }

    m_folderTree.emplace(m_tree, *m_session, m_groups, busy);
    if (Status built = m_folderTree->LoadFolderTree(includeAllFolders()); !built.ok()) {
        // Shown rather than cleared: a build cut short must not pass for a complete tree.
        opened.statusText = built.error();
        opened.details << built.error();
    }
    m_sessionReady = true;
    return opened;
}

void Workspace::startDelivery()
{
    if (auto *local = dynamic_cast<LocalNamespace *>(m_session.get()))
        local->deliveryAgent().start();
}

QStringList Workspace::save() const
{
    QStringList problems;
    if (!m_sessionReady)
        return problems;
    if (Status saved = m_groups.SaveGroupFile(m_tree); !saved.ok())
        problems << saved.error();
    if (Status saved = m_groups.SaveColumnSets(m_tree); !saved.ok())
        problems << saved.error();
    return problems;
}

QString Workspace::SourceFolderIds() const
{
    return m_folderTree ? m_folderTree->SourceFolderIds() : QString();
}

QString Workspace::DraftsEntryId() const
{
    return m_folderTree ? m_folderTree->DraftsEntryId() : QString();
}

} // namespace corvel
