#include "gui/frmMain.h"

#include "folders/ItemLists.h"
#include "groups/MailGroups.h"
#include "gui/CommandBar.h"
#include "gui/HelpWindow.h"
#include "gui/StatusBar.h"
#include "gui/StatusBarSurface.h"
#include "gui/TreeFindBar.h"
#include "gui/TreeInteractionBinding.h"
#include "gui/TreeListView.h"
#include "merge/RunJournal.h"
#include "presentation/ButtonStateRules.h"
#include "presentation/DialogHost.h"
#include "presentation/EmptyTreeHint.h"
#include "presentation/GroupCommands.h"
#include "presentation/GroupMailCommand.h"
#include "presentation/HelpIndex.h"
#include "presentation/IncludeAllCommand.h"
#include "presentation/ListingCommand.h"
#include "presentation/MailSetupCommand.h"
#include "presentation/MailSetupForm.h"
#include "presentation/NewMessageCommand.h"
#include "presentation/PublishGroupCommand.h"
#include "presentation/StoreSyncCommand.h"
#include "presentation/TreeInteraction.h"
#include "session/OutlookSession.h"
#include "support/BusyIndicator.h"
#include "support/JobRunner.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <cmath>
#include <csignal>
#include <iostream>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The hourglass over the whole program while an operation runs.
class WaitCursor : public BusyIndicator
{
public:
    void setBusy(bool busy) override
    {
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++m_depth;
        } else if (m_depth > 0) {
            QApplication::restoreOverrideCursor();
            --m_depth;
        }
    }

private:
    int m_depth = 0;
};

qint64 toPixels(qint64 twips, int twipsPerPixel)
{
    return std::llround(static_cast<double>(twips) / twipsPerPixel);
}

QString linksSection()
{
    return u"Links"_s;
}

} // namespace

frmMain::frmMain(Services services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
    , m_tools(m_table)
    , m_statBar(std::make_unique<StatusBar>())
    , m_busy(std::make_unique<WaitCursor>())
{
    Q_ASSERT(m_services.workspace && m_services.dialogs);
    if (!m_services.openUrl)
        m_services.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    setObjectName(u"frmMain"_s);
    buildDispatchTable();
    JobRunner::Listeners listeners;
    listeners.runningChanged = [this](bool running) { jobRunningChanged(running); };
    listeners.progress = [this](int percent) {
        m_statBar->showPercent(StatusPanels::CountPanel, percent);
    };
    listeners.cancelled = [this] {
        m_statBar->updateCaption(StatusPanels::CountPanel, m_countBeforeJob);
        m_statBar->updateCaption(StatusPanels::ActivityPanel, u"Cancelled"_s);
    };
    m_jobs = std::make_unique<JobRunner>(std::move(listeners));
}

void frmMain::jobRunningChanged(bool running)
{
    ButtonStateRules::setJobRunning(m_tools, running);
    if (m_cancelJobButton)
        m_cancelJobButton->setVisible(running);
    if (running) {
        // A cancelled job leaves everything as it was, the count shown included.
        m_countBeforeJob = m_statBar->caption(StatusPanels::CountPanel);
        setButtonStates(NodeKind::Store);
    } else {
        showButtonStatesOfSelection();
    }
}

bool frmMain::isJobRunning() const
{
    return m_jobs && m_jobs->isRunning();
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
}

bool frmMain::SessionReady() const
{
    return m_services.workspace->isSessionOpen();
}

QString frmMain::AppPath() const
{
    return m_services.workspace->options().appPath;
}

int frmMain::twipsPerPixel(Qt::Orientation orientation)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = !screen                         ? 96.0
                      : orientation == Qt::Horizontal ? screen->logicalDotsPerInchX()
                                                      : screen->logicalDotsPerInchY();
    return dpi > 0 ? std::max(1, static_cast<int>(std::lround(1440.0 / dpi))) : 15;
}

QHBoxLayout *frmMain::statusRow(QWidget *parent)
{
    // Escape has no mouse equivalent otherwise: a button beside the panels while a job runs.
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_picStatBar, 1);
    m_cancelJobButton = new QPushButton(u"Cancel"_s, parent);
    m_cancelJobButton->setObjectName(u"cancelJobButton"_s);
    m_cancelJobButton->setToolTip(u"Stop the work in progress (Esc)"_s);
    m_cancelJobButton->setVisible(isJobRunning());
    connect(m_cancelJobButton, &QPushButton::clicked, this, [this] {
        if (isJobRunning())
            m_jobs->cancel();
    });
    row->addWidget(m_cancelJobButton);
    return row;
}

void frmMain::Form_Load()
{
    setWindowTitle(AppTitle());
    // Saved window positions are in twips of this screen.
    m_twipsPerPixelX = twipsPerPixel(Qt::Horizontal);
    m_twipsPerPixelY = twipsPerPixel(Qt::Vertical);

    // The tree over the status bar with its two panels.
    auto *surface = new StatusBarSurface;
    surface->setObjectName(u"picStatBar"_s);
    m_picStatBar = surface;
    m_tlMain = new TreeListView(workspace().tree());
    m_tlMain->setObjectName(u"tlMain"_s);
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_findBar = new TreeFindBar(*m_tlMain, *m_statBar, central);
    layout->addWidget(m_findBar);
    layout->addWidget(m_tlMain, 1);
    layout->addLayout(statusRow(central));
    setCentralWidget(central);
    m_statBar->createMainPanels(surface);

    // The command bar, its option restored, every node-dependent command off.
    m_aBar = new CommandBar(m_table, m_tools, this);
    connect(m_aBar, &CommandBar::clicked, this, &frmMain::aBar_Click);
    m_interaction = std::make_unique<TreeInteraction>(
        TreeInteraction::Context{workspace().tree(), *m_tlMain, *this, *m_statBar, dialogs()});
    bindTreeInteraction(*m_tlMain, *m_interaction);
    connect(m_tlMain, &TreeListView::contextMenuRequested, this,
            [this](const QPoint &globalPos) { m_aBar->popUp(u"popTL1"_s, globalPos); });
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, m_findBar,
            [this] { m_findBar->start(); });
    m_tools.setChecked(u"btnIncludeAll", workspace().includeAllFolders());
    setButtonStates(NodeKind::Store);
    m_aBar->recalcLayout();
    m_startupReady = true;

    RestoreFormPosition(this);
    qApp->installEventFilter(this);

    show();
    StatBar().updateCaption(StatusPanels::ActivityPanel, u"Loading Folders"_s);
    // Drawn now: opening the stores can take a while, and the user should see why.
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const Workspace::Opened opened = workspace().open(m_busy.get());
    for (const QString &detail : opened.details)
        std::cerr << "corvel: " << detail.toStdString() << '\n';
    if (!opened.details.isEmpty())
        m_picStatBar->setToolTip(opened.details.join(u'\n'));
    if (!SessionReady()) {
        StatBar().updateCaption(StatusPanels::ActivityPanel, opened.statusText);
        m_tools.setEnabled(u"btnNewMsg", false);
        m_tools.setEnabled(u"btnNewMailGrp", false);
        return;
    }
    const QString lastShutdown = workspace().takeShutdownProblems();
    if (!lastShutdown.isEmpty())
        std::cerr << "corvel: " << lastShutdown.toStdString() << '\n';
    StatBar().updateCaption(StatusPanels::ActivityPanel,
                            opened.statusText.isEmpty() ? lastShutdown : opened.statusText);
    workspace().startDelivery();
    storeSync().syncAll();
    m_storesFound = EmptyTreeHint::storesFound(workspace());
    updateEmptyAreaHint();
    m_tlMain->setFocus();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Letters first: one the user chooses to keep open keeps the program running. On a
    // signal no one may answer, so they are saved without asking.
    QStringList letterProblems;
    if (!m_unloaded && !dialogs().closeLetters(m_closingSignal == 0, letterProblems)) {
        event->ignore();
        return;
    }
    Form_Unload(letterProblems);
    QMainWindow::closeEvent(event);
}

void frmMain::Form_Unload(const QStringList &letterProblems)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // A listing going on is dropped: the session it reads is about to close.
    if (m_jobs)
        m_jobs->cancelAndWait();
    // A run going on stops after the member in hand; its journal lets it be continued.
    if (m_groupMail)
        m_groupMail->stop();
    if (m_help)
        m_help->close();
    if (!SessionReady())
        return;
    if (!isMinimized() && !isMaximized() && !isFullScreen())
        SaveFormPosition(this);
    const QStringList problems = letterProblems + workspace().save();
    if (problems.isEmpty())
        return;
    for (const QString &problem : problems)
        std::cerr << "corvel: " << problem.toStdString() << '\n';
    if (m_closingSignal == 0) {
        dialogs().critical(problems.join(u"\n\n"_s));
        return;
    }
    // A session logout waits for the program: a message box now would hold it up.
    if (!workspace().keepShutdownProblems(problems))
        std::cerr << "corvel: this could not be kept for the next start either\n";
}

void frmMain::closeOnSignal(int signalNumber)
{
    if (m_closingSignal == 0)
        m_closingSignal = signalNumber;
    const char *name = signalNumber == SIGTERM  ? "SIGTERM"
                       : signalNumber == SIGHUP ? "SIGHUP"
                       : signalNumber == SIGINT ? "SIGINT"
                                                : "a signal";
    std::cerr << "corvel: closing on " << name << '\n';
    close();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (!m_startupReady || isMinimized())
        return;
    // Only the normal place is kept: saved maximised bounds would reopen the window as
    // large as the screen but no longer maximised.
    if (!isMaximized() && !isFullScreen())
        SaveFormPosition(this);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        keepOnScreen(static_cast<QWidget *>(watched));
        return false;
    }
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    // Dialogs and open menus are windows of their own: their keys stay theirs.
    if (static_cast<QWidget *>(watched)->window() != this)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (m_aBar && m_aBar->offerKey(key->key(), key->modifiers()))
        return true;
    if (key->key() == Qt::Key_Escape) { // whatever the shift state
        if (isJobRunning()) {
            m_jobs->cancel();
            return true;
        }
        if (m_findBar && m_findBar->cancel())
            return true;
        m_interaction->escape();
        return true;
    }
    return false;
}

// Every window of the program passes here as it is shown: help, letters and dialogs open
// wholly on the screen, wherever they were saved or centred.
void frmMain::keepOnScreen(QWidget *window)
{
    if (!window->isWindow() || window->isMaximized() || window->isFullScreen())
        return;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog)
        return;
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect fitted =
        WindowPosition::fitOnScreen(window->geometry(), screen->availableGeometry());
    if (fitted != window->geometry())
        window->setGeometry(fitted);
}

TwipRect frmMain::twipRectOf(const QWidget *window) const
{
    const QPoint place = window->pos();
    const QSize size = window->size();
    return {static_cast<qint64>(place.x()) * m_twipsPerPixelX,
            static_cast<qint64>(place.y()) * m_twipsPerPixelY,
            static_cast<qint64>(size.width()) * m_twipsPerPixelX,
            static_cast<qint64>(size.height()) * m_twipsPerPixelY};
}

void frmMain::SaveFormPosition(QWidget *window)
{
    (void)workspace().settings().saveSetting(u"Positions"_s, window->objectName(),
                                             WindowPosition::format(twipRectOf(window)));
}

void frmMain::RestoreFormPosition(QWidget *window)
{
    const QString saved =
        workspace().settings().getSetting(u"Positions"_s, window->objectName(), QString());
    const bool sizable = window->minimumSize() != window->maximumSize();
    const std::optional<TwipRect> placed =
        WindowPosition::restore(saved, window->objectName(), twipRectOf(window), sizable);
    if (!placed) {
        const QScreen *screen = window->screen();
        const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        window->move(area.x() + (area.width() - window->width()) / 2,
                     area.y() + (area.height() - window->height()) / 2);
        return;
    }
    window->move(static_cast<int>(toPixels(placed->left, m_twipsPerPixelX)),
                 static_cast<int>(toPixels(placed->top, m_twipsPerPixelY)));
    if (sizable) {
        window->resize(static_cast<int>(toPixels(placed->width, m_twipsPerPixelX)),
                       static_cast<int>(toPixels(placed->height, m_twipsPerPixelY)));
    }
}

void frmMain::setButtonStates(NodeKind kind)
{
    const TreeList &tree = workspace().tree();
    ButtonStateRules::Selection selection;
    selection.sessionReady = SessionReady() && !isJobRunning();
    selection.selectedCount = tree.selectedCount();
    selection.nodeHasDescendants = tree.descendantCount(tree.at(selIndex())) > 0;
    const int recalcs = m_tools.layoutRecalcs();
    ButtonStateRules::setButtonStates(m_tools, kind, selection);
    if (m_aBar && m_tools.layoutRecalcs() != recalcs)
        m_aBar->recalcLayout();
    updateEmptyAreaHint();
}

void frmMain::updateEmptyAreaHint()
{
    if (!m_tlMain || !SessionReady())
        return;
    // Looked for only until found: after that the tree may hold 100,000 rows.
    m_somethingListed = m_somethingListed || EmptyTreeHint::anythingListed(workspace().tree());
    m_tlMain->setEmptyAreaText(EmptyTreeHint::text(m_somethingListed, m_storesFound));
}

int frmMain::selIndex() const
{
    return m_interaction ? m_interaction->selIndex() : 0;
}

bool frmMain::isToolEnabled(const QString &tool) const
{
    return m_tools.isEnabled(tool);
}

void frmMain::setToolEnabled(const QString &tool, bool enabled)
{
    m_tools.setEnabled(tool, enabled);
}

void frmMain::runCommand(const QString &tool)
{
    aBar_Click(tool);
}

void frmMain::copyToGroup(GroupId group)
{
    if (isJobRunning())
        return;
    groupCommands().copyToGroup(group);
    m_tlMain->restorePointer();
}

bool frmMain::selectPath(const QString &path)
{
    TreeList &tree = workspace().tree();
    NodeHandle node;
    for (const QString &caption : path.split(u'/', Qt::SkipEmptyParts)) {
        NodeHandle next;
        for (const NodeHandle child : tree.children(node)) {
            if (tree.caption(child) == caption) {
                next = child;
                break;
            }
        }
        if (!next)
            return false;
        tree.setExpanded(node, true);
        node = next;
    }
    if (!node)
        return false;
    tree.clearSelection();
    tree.setCurrent(node);
    tree.setSelected(node, true);
    tree.refresh();
    m_tlMain->scrollTo(node);
    m_interaction->tlMain_Click();
    return true;
}

// --- Commands -----------------------------------------------------------------------------

void frmMain::buildDispatchTable()
{
    const auto add = [this](const QString &tool, std::function<void()> command) {
        m_dispatch.add(tool, std::move(command));
    };
    add(u"btnWebHome"_s,
        [this] { openSetting(u"HomePage"_s, u"https://corvel.invalid/"_s, {}, {}); });
    add(u"btnSendEmail"_s, [this] {
        openSetting(u"SalesAddress"_s, u"sales@corvel.invalid"_s, u"mailto:"_s,
                    u"?SUBJECT=RE:"_s + AppTitle());
    });
    add(u"btnHelpF1"_s, [this] { help().HelpContents(); });
    add(u"btnHelpSrch"_s, [this] { help().HelpSearch(QString()); });
    add(u"btnHelpHelp"_s, [this] { help().HelpOnHelp(); });
    add(u"btnHelpStd"_s, [this] { help().HelpContext(HelpIndex::StandardMailGroups); });
    add(u"btnHelpDyn"_s, [this] { help().HelpContext(HelpIndex::DynamicMailGroups); });
    add(u"btnAbout"_s, [this] { dialogs().showAbout(); });
    add(u"btnStdMailGrp"_s, [this] { doNewGroupUnder(u"STDMG"_s); });
    add(u"btnDynMailGrp"_s, [this] { doNewGroupUnder(u"DYNMG"_s); });
    add(u"btnIncludeAll"_s,
        [this] { IncludeAllCommand(workspace(), dialogs(), m_tools).doBtnIncludeAll(); });
    add(u"btnMailSetup"_s, [this] {
        const QStringList servers = MailSetupCommand(workspace(), dialogs()).doBtnMailSetup();
        m_storesFound = EmptyTreeHint::storesFound(workspace());
        updateEmptyAreaHint();
        // A new server's folders exist once its first sync has filled the cache.
        storeSync().syncStores(servers, [this] { (void)workspace().reloadStores(); });
    });
    add(u"btnExit"_s, [this] {
        m_tools.setVisible(u"btnExit", false);
        if (!close()) // a letter was kept open
            m_tools.setVisible(u"btnExit", true);
    });
    add(u"btnLoadContacts"_s, [this] {
        listing().doBtnLoadContacts(selIndex());
        showButtonStatesOfSelection();
    });
    add(u"btnLoadMessages"_s, [this] {
        listing().doBtnLoadMessages(selIndex());
        showButtonStatesOfSelection();
    });
    add(u"btnRefresh"_s, [this] { listing().doBtnRefresh(selIndex()); });
    add(u"btnSaveList"_s, [this] { groupCommands().saveAddressList(); });
    add(u"btnLoadList"_s, [this] { groupCommands().loadAddressList(); });
    add(u"btnImportGroups"_s, [this] { groupCommands().importAddressBookGroups(); });
    add(u"btnPublishGroup"_s, [this] {
        if (!m_publishGroup)
            m_publishGroup = std::make_unique<PublishGroupCommand>(PublishGroupCommand::Services{
                m_services.workspace, m_services.dialogs, m_statBar.get(),
                [this] { return selIndex(); }, [this] { groupCommands().saveGroups(); }});
        m_publishGroup->publishSelectedGroup();
    });
    add(u"btnGrpProperties"_s, [this] { groupCommands().editDynamicGroup(); });
    add(u"btnVerify"_s, [this] { groupCommands().verifyAddresses(); });
    add(u"btnAddContact"_s, [this] { groupCommands().doBtnAddContact(); });
    add(u"btnChgName"_s, [this] { groupCommands().doBtnChgName(); });
    add(u"btnCopy"_s, [this] { groupCommands().doBtnCopy(); });
    add(u"btnDelete"_s, [this] { groupCommands().doBtnDelete(); });
    add(u"btnEditItem"_s, [this] { groupCommands().doBtnEditItem(); });
    add(u"btnNewMsg"_s, [this] { NewMessageCommand(workspace(), dialogs()).doBtnNewMsg(); });
    add(u"btnDoMail"_s, [this] { groupMail().doBtnDoMail(); });
}

void frmMain::aBar_Click(const QString &tool)
{
    if (isJobRunning() && !ButtonStateRules::availableDuringJob(tool))
        return;
    m_dispatch.dispatch(tool);
}

void frmMain::openSetting(const QString &key, const QString &fallback, const QString &prefix,
                          const QString &suffix)
{
    const QString value = workspace().settings().getSetting(linksSection(), key, fallback);
    const QUrl url(prefix + value.trimmed() + suffix);
    if (url.isValid())
        m_services.openUrl(url);
}

HelpWindow &frmMain::help()
{
    if (!m_help)
        m_help = std::make_unique<HelpWindow>(m_services.helpDirectory, AppTitle());
    return *m_help;
}

void frmMain::doNewGroupUnder(const QString &rootEntryId)
{
    const TreeList &tree = workspace().tree();
    const NodeHandle root = tree.findByValue(NodeValue(rootEntryId), NodeValueName::EntryId());
    if (root)
        doBtnNewMailGrp(tree.indexOf(root));
}

void frmMain::doBtnNewMailGrp(int rootIndex)
{
    groupCommands().doBtnNewMailGrp(rootIndex);
}

GroupCommands &frmMain::groupCommands()
{
    if (!m_groupCommands) {
        GroupCommands::Services services;
        services.workspace = m_services.workspace;
        services.dialogs = m_services.dialogs;
        services.panels = m_statBar.get();
        services.busy = m_busy.get();
        services.selIndex = [this] { return selIndex(); };
        services.jobs = m_jobs.get();
        m_groupCommands = std::make_unique<GroupCommands>(std::move(services));
    }
    return *m_groupCommands;
}

GroupMailCommand &frmMain::groupMail()
{
    if (!m_groupMail) {
        GroupMailCommand::Services services;
        services.workspace = m_services.workspace;
        services.dialogs = m_services.dialogs;
        services.panels = m_statBar.get();
        services.busy = m_busy.get();
        services.runsDirectory =
            RunJournal::directoryIn(m_services.workspace->userPaths().dataFolder());
        m_groupMail = std::make_unique<GroupMailCommand>(std::move(services));
    }
    return *m_groupMail;
}

ListingCommand &frmMain::listing()
{
    if (!m_listing) {
        ListingCommand::Services services;
        services.workspace = m_services.workspace;
        services.dialogs = m_services.dialogs;
        services.panels = m_statBar.get();
        services.busy = m_busy.get();
        services.loadDynamicGroup = [this](const GroupId &group) {
            groupCommands().loadDynamicGroup(group);
        };
        services.storeSyncs = &storeSync();
        services.jobs = m_jobs.get();
        m_listing = std::make_unique<ListingCommand>(std::move(services));
    }
    return *m_listing;
}

StoreSyncCommand &frmMain::storeSync()
{
    if (!m_storeSync)
        m_storeSync = std::make_unique<StoreSyncCommand>(workspace(), m_statBar.get());
    return *m_storeSync;
}

void frmMain::showButtonStatesOfSelection()
{
    if (selIndex() != -1) {
        const TreeList &tree = workspace().tree();
        setButtonStates(nodeKind(tree, tree.at(selIndex())));
    }
}

} // namespace corvel
