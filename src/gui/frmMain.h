#pragma once

#include "presentation/CommandDispatcher.h"
#include "presentation/CommandHost.h"
#include "presentation/CommandTable.h"
#include "presentation/ToolStates.h"
#include "presentation/WindowPosition.h"
#include "session/ExistingStoreFinder.h"

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class QHBoxLayout;
class QPushButton;

namespace corvel {

class BusyIndicator;
class CommandBar;
class DialogHost;
class GroupCommands;
class GroupMailCommand;
class HelpWindow;
class JobRunner;
class ListingCommand;
class PublishGroupCommand;
class StoreSyncCommand;
class StatusPanels;
class TreeFindBar;
class TreeInteraction;
class TreeListView;
class StatusBar;
class Workspace;

// The program's only top-level window: starts and ends the run through the Workspace,
// lays out the command bar, the tree and the status bar, keeps its place on the screen,
// and dispatches the commands. The operations themselves live elsewhere.
class frmMain : public QMainWindow, public CommandHost
{
    Q_OBJECT
public:
    struct Services
    {
        Workspace *workspace = nullptr;
        DialogHost *dialogs = nullptr;
        QString helpDirectory;
        // Hands a web or mailto address to the desktop; the default uses QDesktopServices.
        std::function<bool(const QUrl &)> openUrl;
    };

    explicit frmMain(Services services, QWidget *parent = nullptr);
    ~frmMain() override;

    static QString AppTitle() { return QStringLiteral("Corvel"); }

    // The start-up sequence: shows the window, then opens the session and builds the tree.
    void Form_Load();

    [[nodiscard]] bool SessionReady() const;
    [[nodiscard]] QString AppPath() const;
    [[nodiscard]] int TwipsPerPixelX() const { return m_twipsPerPixelX; }
    [[nodiscard]] int TwipsPerPixelY() const { return m_twipsPerPixelY; }
    // The node last selected or pointed at, as the tree's handlers keep it; -1 when none.
    [[nodiscard]] int selIndex() const;
    // A command's long part is running off the event loop (Escape cancels it).
    [[nodiscard]] bool isJobRunning() const;

    [[nodiscard]] Workspace &workspace() const { return *m_services.workspace; }
    [[nodiscard]] DialogHost &dialogs() const { return *m_services.dialogs; }
    [[nodiscard]] ToolStates &tools() { return m_tools; }
    [[nodiscard]] CommandBar &aBar() const { return *m_aBar; }
    [[nodiscard]] TreeListView *tlMain() const { return m_tlMain; }
    [[nodiscard]] TreeFindBar *findBar() const { return m_findBar; }
    [[nodiscard]] QWidget *picStatBar() const { return m_picStatBar; }
    [[nodiscard]] StatusBar &StatBar() const { return *m_statBar; }
    // nullptr until help is first asked for.
    [[nodiscard]] HelpWindow *helpWindow() const { return m_help.get(); }

    // The command of the tool, by name without regard to case; nothing for menu titles.
    void aBar_Click(const QString &tool);
    // Enables and shows the node-dependent commands for a node kind.
    void setButtonStates(NodeKind kind) override;
    [[nodiscard]] bool isToolEnabled(const QString &tool) const override;
    void setToolEnabled(const QString &tool, bool enabled) override;
    void runCommand(const QString &tool) override;
    void copyToGroup(GroupId group) override;
    // Creates a group under the group root at that index.
    void doBtnNewMailGrp(int rootIndex);

    void SaveFormPosition(QWidget *window);
    void RestoreFormPosition(QWidget *window);

    // Makes the node at a path of captions ("Personal Folders/Contacts") the selected one;
    // false when there is none.
    bool selectPath(const QString &path);

    // Closes the window because the session is ending (SIGTERM, SIGHUP, SIGINT): saves as a
    // close by the user does, but says what failed on standard error and at the next start,
    // since no one may be there to answer a message box.
    void closeOnSignal(int signalNumber);

    // Twips per pixel of the screen the window opens on.
    [[nodiscard]] static int twipsPerPixel(Qt::Orientation orientation);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The status bar and, beside it, the button that cancels a running job.
    QHBoxLayout *statusRow(QWidget *parent);
    void buildDispatchTable();
    void openSetting(const QString &key, const QString &fallback, const QString &prefix,
                     const QString &suffix);
    HelpWindow &help();
    GroupCommands &groupCommands();
    GroupMailCommand &groupMail();
    ListingCommand &listing();
    StoreSyncCommand &storeSync();
    // A listing changes the selected node's kind, and so its commands.
    void showButtonStatesOfSelection();
    void doNewGroupUnder(const QString &rootEntryId);
    // One long job at a time; while it runs, only what touches neither tree nor session.
    void jobRunningChanged(bool running);
    // letterProblems: letters that could not be saved as the program closed.
    void Form_Unload(const QStringList &letterProblems);
    [[nodiscard]] TwipRect twipRectOf(const QWidget *window) const;
    // The empty area of the tree says what to do first until something is listed.
    void updateEmptyAreaHint();
    static void keepOnScreen(QWidget *window);

    Services m_services;
    CommandTable m_table;
    ToolStates m_tools;
    CommandDispatcher m_dispatch;
    CommandBar *m_aBar = nullptr;
    TreeListView *m_tlMain = nullptr;
    TreeFindBar *m_findBar = nullptr;
    QWidget *m_picStatBar = nullptr;
    QPushButton *m_cancelJobButton = nullptr;
    std::unique_ptr<StatusBar> m_statBar;
    std::unique_ptr<BusyIndicator> m_busy;
    std::unique_ptr<TreeInteraction> m_interaction;
    std::unique_ptr<HelpWindow> m_help;
    std::unique_ptr<GroupCommands> m_groupCommands;
    std::unique_ptr<GroupMailCommand> m_groupMail;
    std::unique_ptr<ListingCommand> m_listing;
    std::unique_ptr<StoreSyncCommand> m_storeSync;       // after m_listing: its syncs call it
    std::unique_ptr<PublishGroupCommand> m_publishGroup; // after what its end calls
    QString m_countBeforeJob;                            // panel 1 as a job found it
    // Last, so it goes first: its worker must not outlive what it reads.
    std::unique_ptr<JobRunner> m_jobs;
    int m_twipsPerPixelX = 15;
    int m_twipsPerPixelY = 15;
    bool m_startupReady = false;
    std::vector<StoreSuggestion> m_storesFound; // for the empty area's hint
    bool m_somethingListed = false;             // once true, stays: the hint is gone
    bool m_unloaded = false;
    int m_closingSignal = 0;
};

} // namespace corvel
