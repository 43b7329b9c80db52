#pragma once

#include "workspace/UserPaths.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <vector>

namespace corvel {

class InstanceLock;
class Workspace;

// What every verb of the command-line companion gets: its arguments, the output mode and
// the workspace opened the way the window opens it.
struct CtlContext
{
    QStringList args; // after the verb
    bool json = false;
    bool deleteSetting = false;
    QString find; // --find: only the rows whose shown columns hold this text
    QString appPath;
    QString shippedDir;
    UserPaths user; // found once at start
};

enum CtlExit
{
    ExitOk = 0,
    ExitFailed = 1,
    ExitUsage = 2 // the verb table prints the verb's usage
};

// Every verb that changes groups takes this first and holds it to the end: null, with the
// reason printed, while the window (or another verb) has the groups open.
[[nodiscard]] std::unique_ptr<InstanceLock> lockGroupsForChange(const CtlContext &context);

void printOut(const QString &text);
void printError(const QString &text);

int runFolders(const CtlContext &context);
int runSetting(const CtlContext &context);
int runStores(const CtlContext &context);
int runAddStore(const CtlContext &context);
int runRemoveStore(const CtlContext &context);
int runSync(const CtlContext &context);
int runSetPassword(const CtlContext &context);
int runGroups(const CtlContext &context);
int runMembers(const CtlContext &context);
int runList(const CtlContext &context);
int runDrafts(const CtlContext &context);
int runOutbox(const CtlContext &context);
int runDeliver(const CtlContext &context);
int runPaths(const CtlContext &context);
// The verbs that change mail groups, by name; -1 when `verb` is none of them.
int runGroupVerb(const QString &verb, const CtlContext &context);
int runNewLetter(const CtlContext &context);
int runGroupMail(const CtlContext &context);

} // namespace corvel
