#include "gui/AppRunner.h"

#include "gui/QtDialogHost.h"
#include "gui/frmMain.h"
#include "presentation/TestMessage.h"
#include "session/OutlookSession.h"
#include "support/FileSystem.h"
#include "tree/NodeKinds.h"
#include "workspace/InstanceLock.h"
#include "workspace/ShippedFiles.h"
#include "workspace/TerminationSignals.h"

#include <QApplication>
#include <QDir>

#include <iostream>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool memoryChecked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
constexpr bool memoryChecked = true;
#else
constexpr bool memoryChecked = false;
#endif
#else
constexpr bool memoryChecked = false;
#endif

// Still reachable, so a leak checker run on a normal build does not count it as lost.
Workspace *workspaceLeftAtExit = nullptr;

} // namespace

AppRunner::AppRunner(Options options, DialogHost *dialogs)
    : m_options(std::move(options))
    , m_dialogs(dialogs)
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<QtDialogHost>(
            frmMain::AppTitle(), [](const MailSetupForm &form) { return TestMessage::send(form); });
        m_dialogs = m_ownDialogs.get();
    }
}

AppRunner::~AppRunner()
{
    m_signals.reset();
    m_window.reset();
    if (m_leaveMemoryAtExit && !memoryChecked && m_workspace) {
        m_workspace->stopBackgroundWork();
        workspaceLeftAtExit = m_workspace.release();
    }
    m_workspace.reset();
}

bool AppRunner::start()
{
    UserPaths user = UserPaths::fromEnvironment();
    if (!m_options.configRoot.isEmpty())
        user.configHome = m_options.configRoot;
    if (!m_options.dataRoot.isEmpty())
        user.dataHome = m_options.dataRoot;
    const QString appPath = m_options.appPath.isEmpty()
                                ? AppPath(m_options.shippedDir, user.dataFolder())
                                : m_options.appPath;
    if (auto *own = dynamic_cast<QtDialogHost *>(m_ownDialogs.get()))
        own->setDataFolder(appPath);
    m_lock = std::make_unique<InstanceLock>(appPath);
    if (!m_lock->tryLock()) {
        std::cerr << "corvel: " << m_lock->refusal().toStdString() << '\n';
        m_dialogs->critical(m_lock->refusal());
        return false;
    }

    Workspace::Options options;
    options.appPath = appPath;
    const QString shippedDir = ShippedFiles::directory(m_options.shippedDir);
    options.shippedDir = shippedDir;
    options.configRoot = user.configHome;
    options.dataRoot = user.dataHome;
    options.homeDir = user.home;
    options.cacheRoot = user.cacheHome;
    Workspace::ApplicationFactory factory = m_options.factory;
    if (!factory)
        factory = Workspace::localStore(user.dataHome, user.cacheHome);
    m_workspace = std::make_unique<Workspace>(options, std::move(factory));
    if (auto *qtDialogs = dynamic_cast<QtDialogHost *>(m_ownDialogs.get())) {
        qtDialogs->setItemLookup([workspace = m_workspace.get()](const QString &entryId) {
            OlNamespace *session = workspace->session();
            if (!session)
                throw OutlookError(u"No mail session is open."_s);
            return session->GetItemFromID(entryId);
        });
    }

    frmMain::Services services;
    services.workspace = m_workspace.get();
    services.dialogs = m_dialogs;
    services.helpDirectory = ShippedFiles::helpDirectory(shippedDir);
    m_window = std::make_unique<frmMain>(services);
    m_signals = std::make_unique<TerminationSignals>([this](int signalNumber) {
        // A message box open at that moment runs its own event loop, which would keep the
        // program waiting for a click after the window has closed.
        for (int guard = 0; guard < 16 && QApplication::activeModalWidget(); ++guard)
            QApplication::activeModalWidget()->close();
        if (m_window)
            m_window->closeOnSignal(signalNumber);
    });
    m_window->Form_Load();

    if (!m_options.select.isEmpty() && m_window->SessionReady()) {
        if (!m_window->selectPath(m_options.select)) {
            std::cerr << "corvel: no folder " << m_options.select.toStdString() << '\n';
        } else if (m_options.load) {
            const bool messages = m_window->tools().isVisible(u"btnLoadMessages");
            m_window->aBar_Click(messages ? u"btnLoadMessages"_s : u"btnLoadContacts"_s);
        }
    }
    return true;
}

} // namespace corvel
