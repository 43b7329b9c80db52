#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "folders/FolderRows.h"
#include "groups/GroupListing.h"
#include "session/ExistingStoreFinder.h"
#include "session/OutlookSession.h"
#include "session/StoreRegistry.h"
#include "workspace/Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <iostream>

namespace corvel {

namespace {

Workspace::Options optionsFor(const CtlContext &context)
{
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    options.configRoot = context.user.configHome;
    options.dataRoot = context.user.dataHome;
    options.homeDir = context.user.home;
    options.cacheRoot = context.user.cacheHome;
    return options;
}

// Opens the workspace; a session that cannot be opened is a failure, a tree cut short is
// reported and counted as one.
bool openWorkspace(Workspace &workspace)
{
    const Workspace::Opened opened = workspace.open();
    for (const QString &detail : opened.details)
        printError(QStringLiteral("corvelctl: %1").arg(detail));
    if (!workspace.isSessionOpen() && opened.details.isEmpty())
        printError(QStringLiteral("corvelctl: %1").arg(opened.statusText));
    return workspace.isSessionOpen() && opened.statusText.isEmpty();
}

// Opens the workspace as start-up does and lets `print` show what it holds; a tree cut
// short still prints, and fails the verb.
int withWorkspace(const CtlContext &context, const std::function<int(const Workspace &)> &print)
{
    Workspace workspace(optionsFor(context));
    const bool complete = openWorkspace(workspace);
    if (!workspace.isSessionOpen())
        return ExitFailed;
    const int printed = print(workspace);
    return printed != ExitOk || !complete ? ExitFailed : ExitOk;
}

} // namespace

void printOut(const QString &text)
{
    std::cout << text.toStdString();
    if (!text.endsWith(QLatin1Char('\n')))
        std::cout << '\n';
    std::cout.flush();
}

void printError(const QString &text)
{
    std::cerr << text.toStdString();
    if (!text.endsWith(QLatin1Char('\n')))
        std::cerr << '\n';
}

int runFolders(const CtlContext &context)
{
    if (!context.args.isEmpty())
        return ExitUsage;
    return withWorkspace(context, [&](const Workspace &workspace) {
        CtlTable table(context.json);
        for (const TableRow &row : FolderRows::nodes(workspace.tree()))
            table.add(row.json, row.cells);
        table.print();
        return ExitOk;
    });
}

int runSetting(const CtlContext &context)
{
    const qsizetype count = context.args.size();
    if (count < 2 || count > 3 || (context.deleteSetting && count != 2))
        return ExitUsage;
    Workspace workspace(optionsFor(context));
    CRegSettings &settings = workspace.settings();
    const QString &section = context.args[0];
    const QString &key = context.args[1];
    // Said first: writes are refused while it lasts, and reads may miss keys.
    const QString problem = settings.problem();
    if (!problem.isEmpty())
        printError(QStringLiteral("corvelctl: %1").arg(problem));
    if (context.deleteSetting) {
        if (!problem.isEmpty())
            return ExitFailed;
        if (!settings.deleteSetting(section, key)) {
            printError(QStringLiteral("corvelctl: nothing deleted: %1 has no %2")
                           .arg(section, key.isEmpty() ? QStringLiteral("such section")
                                                       : QStringLiteral("key \"%1\"").arg(key)));
            return ExitFailed;
        }
        return ExitOk;
    }
    if (count == 3) {
        if (!settings.saveSetting(section, key, context.args[2])) {
            printError(QStringLiteral("corvelctl: cannot write the setting to %1")
                           .arg(settings.filePath()));
            return ExitFailed;
        }
        return ExitOk;
    }
    const QString value = settings.getSetting(section, key, QString());
    if (context.json)
        printOut(
            QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)));
    else
        printOut(value);
    return problem.isEmpty() ? ExitOk : ExitFailed;
}

int runStores(const CtlContext &context)
{
    const bool suggest = context.args == QStringList{QStringLiteral("--suggest")};
    if (!context.args.isEmpty() && !suggest)
        return ExitUsage;
    Workspace workspace(optionsFor(context));
    const QString problem = workspace.settings().problem();
    if (!problem.isEmpty())
        printError(QStringLiteral("corvelctl: %1").arg(problem));
    std::vector<LocalStore> stores;
    try {
        stores = StoreRegistry(workspace.settings(), workspace.options().dataRoot,
                               workspace.options().cacheRoot)
                     .stores();
    } catch (const OutlookError &error) {
        printError(QStringLiteral("corvelctl: %1").arg(error.message()));
        return ExitFailed;
    }
    CtlTable table(context.json);
    if (suggest) {
        for (const StoreSuggestion &found : ExistingStoreFinder::unregistered(
                 ExistingStoreFinder(context.user.home, context.user.configHome).find(), stores)) {
            const QString foundBy = found.foundBy.join(QStringLiteral(", "));
            table.add({{QStringLiteral("name"), found.store.name},
                       {QStringLiteral("directory"), found.store.directory},
                       {QStringLiteral("foundBy"), QJsonArray::fromStringList(found.foundBy)}},
                      {found.store.name, found.store.directory, foundBy});
        }
        table.print();
        return ExitOk;
    }
    for (const LocalStore &store : stores) {
        table.add(
            {{QStringLiteral("name"), store.name}, {QStringLiteral("directory"), store.directory}},
            {store.name, store.directory});
    }
    table.print();
    return ExitOk;
}

int runGroups(const CtlContext &context)
{
    if (!context.args.isEmpty())
        return ExitUsage;
    return withWorkspace(context, [&](const Workspace &workspace) {
        CtlTable table(context.json);
        for (const TableRow &row : GroupListing::groups(workspace.tree()))
            table.add(row.json, row.cells);
        table.print();
        return ExitOk;
    });
}

int runMembers(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    return withWorkspace(context, [&](const Workspace &workspace) {
        const auto rows = GroupListing::members(workspace.tree(), context.args[0], context.find);
        if (!rows.ok()) {
            printError(QStringLiteral("corvelctl: %1").arg(rows.error()));
            return ExitFailed;
        }
        CtlTable table(context.json);
        for (const TableRow &row : *rows)
            table.add(row.json, row.cells);
        table.print();
        return ExitOk;
    });
}

} // namespace corvel
