#pragma once

#include "workspace/Workspace.h"

#include <QString>

#include <memory>

namespace corvel {

class DialogHost;
class InstanceLock;
class TerminationSignals;
class frmMain;

// One run of the window: takes the lock on the data files, opens the window on a
// Workspace and closes it as the user would when the session ends by a signal.
class AppRunner
{
public:
    struct Options
    {
        QString shippedDir; // the executable's folder (help and shipped data there or installed)
        QString appPath;    // where the data files live; empty: chosen from shippedDir
        QString configRoot; // empty: the user's
        QString dataRoot;   // empty: the user's
        Workspace::ApplicationFactory factory; // empty: the local store
        QString select;    // a node to select once the tree is built (captions joined by "/")
        bool load = false; // and list its items
    };

    // dialogs may be null: message boxes on the screen.
    explicit AppRunner(Options options, DialogHost *dialogs = nullptr);
    ~AppRunner();

    // False when another program holds the data files (the user is told) .
    [[nodiscard]] bool start();
    [[nodiscard]] frmMain *window() const { return m_window.get(); }
    [[nodiscard]] Workspace *workspace() const { return m_workspace.get(); }
    // For the program's own run: on destruction, once the window is gone, the workspace's
    // threads stopped and the lock released, the workspace's memory is left for the process's
    // end to take back. Freeing a listing of 100,000 rows and its session took a tenth of a
    // second of closing. Builds that check memory still free it.
    void leaveMemoryAtExit() { m_leaveMemoryAtExit = true; }

private:
    Options m_options;
    std::unique_ptr<DialogHost> m_ownDialogs;
    DialogHost *m_dialogs;
    std::unique_ptr<InstanceLock> m_lock;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<frmMain> m_window;
    std::unique_ptr<TerminationSignals> m_signals;
    bool m_leaveMemoryAtExit = false;
};

} // namespace corvel
