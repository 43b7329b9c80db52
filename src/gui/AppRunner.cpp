#include "gui/AppRunner.h"

#include "gui/QtDialogHost.h"
#include "gui/frmMain.h"
#include "session/OutlookSession.h"
#include "support/GenFcns.h"
#include "tree/NodeKinds.h"
#include "workspace/InstanceLock.h"
#include "workspace/TerminationSignals.h"
#include "workspace/TestMessage.h"

#include <QDir>

#include <iostream>

using namespace Qt::StringLiterals;

namespace corvel {

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
    m_workspace.reset();
}

bool AppRunner::start()
{
    const QString appPath =
        m_options.appPath.isEmpty() ? AppPath(m_options.shippedDir) : m_options.appPath;
    m_lock = std::make_unique<InstanceLock>(appPath);
    if (!m_lock->tryLock()) {
        std::cerr << "corvel: " << m_lock->refusal().toStdString() << '\n';
        m_dialogs->critical(m_lock->refusal());
        return false;
    }

    Workspace::Options options;
    options.appPath = appPath;
    options.shippedDir = m_options.shippedDir;
    options.configRoot = m_options.configRoot;
    options.dataRoot = m_options.dataRoot;
    options.twipsPerPixelX = frmMain::twipsPerPixel(Qt::Horizontal);
    Workspace::ApplicationFactory factory = m_options.factory;
    if (!factory)
        factory = Workspace::localStore(m_options.dataRoot);
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
    services.helpDirectory = QDir(m_options.shippedDir).filePath(u"help"_s);
    m_window = std::make_unique<frmMain>(services);
    m_signals = std::make_unique<TerminationSignals>([this](int) {
        if (m_window)
            m_window->close();
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
