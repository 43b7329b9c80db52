#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <vector>

namespace corvel {

class InstanceLock;
class TreeList;
class Workspace;
struct NodeHandle;

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

// A folder by its EntryId or its caption path ("Personal Folders/Contacts"); null when none.
[[nodiscard]] NodeHandle findFolder(const TreeList &tree, const QString &argument);
// The rows below a listed folder or group that the window's find would show for `text`
// (all of them for an empty text).
[[nodiscard]] std::vector<NodeHandle> findRows(const TreeList &tree, NodeHandle holder,
                                               const QString &text);

void printOut(const QString &text);
void printError(const QString &text);

int runFolders(const CtlContext &context);
int runSetting(const CtlContext &context);
int runStores(const CtlContext &context);
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
