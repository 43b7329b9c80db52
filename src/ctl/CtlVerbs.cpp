#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "groups/GroupStore.h"
#include "session/ExistingStoreFinder.h"
#include "session/OutlookSession.h"
#include "session/StoreRegistry.h"
#include "tree/NodeKinds.h"
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
    return options;
}

QJsonValue jsonOf(const NodeValue &value)
{
    if (value.isNumber())
        return QJsonValue(static_cast<double>(value.number()));
    return QJsonValue(value.toString());
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

// Opens the workspace as start-up does and lets `print` show the tree; a tree cut short
// still prints, and fails the verb.
int withTree(const CtlContext &context, const std::function<int(const TreeList &)> &print)
{
    Workspace workspace(optionsFor(context));
    const bool complete = openWorkspace(workspace);
    if (!workspace.isSessionOpen())
        return ExitFailed;
    const int printed = print(workspace.tree());
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
    return withTree(context, [&](const TreeList &tree) {
        CtlTable table(context.json);
        int index = 0;
        for (NodeHandle node : tree.displayOrder()) {
            const NodeValue type = tree.value(node, NodeValueName::olType());
            const NodeValue entryId = tree.value(node, NodeValueName::EntryId());
            table.add(
                {{QStringLiteral("index"), index++},
                 {QStringLiteral("level"), tree.level(node)},
                 {QStringLiteral("caption"), tree.caption(node)},
                 {QStringLiteral("olType"), jsonOf(type)},
                 {QStringLiteral("picture"), tree.picture(node)},
                 {QStringLiteral("EntryId"), jsonOf(entryId)},
                 {QStringLiteral("StoreId"), jsonOf(tree.value(node, NodeValueName::StoreId()))},
                 {QStringLiteral("SortMe"), jsonOf(tree.value(node, NodeValueName::SortMe()))}},
                {QString(tree.level(node) * 2, QLatin1Char(' ')) + tree.caption(node),
                 type.toString(), QString::number(tree.picture(node)), entryId.toString()});
        }
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
        if (!settings.DeleteSetting(section, key)) {
            printError(QStringLiteral("corvelctl: nothing deleted: %1 has no %2")
                           .arg(section, key.isEmpty() ? QStringLiteral("such section")
                                                       : QStringLiteral("key \"%1\"").arg(key)));
            return ExitFailed;
        }
        return ExitOk;
    }
    if (count == 3) {
        if (!settings.SaveSetting(section, key, context.args[2])) {
            printError(QStringLiteral("corvelctl: cannot write the setting to %1")
                           .arg(settings.filePath()));
            return ExitFailed;
        }
        return ExitOk;
    }
    const QString value = settings.GetSetting(section, key, QString());
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
        stores = StoreRegistry(workspace.settings()).stores();
    } catch (const OutlookError &error) {
        printError(QStringLiteral("corvelctl: %1").arg(error.message()));
        return ExitFailed;
    }
    CtlTable table(context.json);
    if (suggest) {
        for (const StoreSuggestion &found :
             ExistingStoreFinder::unregistered(ExistingStoreFinder::forUser().find(), stores)) {
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
    return withTree(context, [&](const TreeList &tree) {
        const QStringList dynamicValues = {
            NodeValueName::GUID(),     NodeValueName::InCats(),      NodeValueName::EntryIds(),
            NodeValueName::StoreIds(), NodeValueName::FolderNames(), NodeValueName::LastLoaded()};
        CtlTable table(context.json);
        for (const NodeKind rootType : {NodeKind::StandardRoot, NodeKind::DynamicRoot}) {
            const NodeHandle root = findNodeOfKind(tree, rootType);
            if (root.isNull())
                continue;
            for (NodeHandle group : tree.children(root)) {
                const NodeValue type = tree.value(group, NodeValueName::olType());
                const int members = tree.childCount(group);
                QJsonObject row{{QStringLiteral("root"), tree.caption(root)},
                                {QStringLiteral("caption"), tree.caption(group)},
                                {QStringLiteral("olType"), jsonOf(type)},
                                {QStringLiteral("members"), members}};
                if (nodeKind(tree, group) == NodeKind::DynamicGroup) {
                    for (const QString &name : dynamicValues)
                        row[name] = jsonOf(tree.value(group, name));
                }
                table.add(row, {tree.caption(root), tree.caption(group), type.toString(),
                                QString::number(members)});
            }
        }
        table.print();
        return ExitOk;
    });
}

int runMembers(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    return withTree(context, [&](const TreeList &tree) {
        const Result<NodeHandle> found = GroupStore::groupNamed(tree, context.args[0]);
        if (!found.ok()) {
            printError(QStringLiteral("corvelctl: %1").arg(found.error()));
            return ExitFailed;
        }
        const NodeHandle group = *found;
        const QStringList names = {NodeValueName::olType(), NodeValueName::EntryId(),
                                   NodeValueName::FileAs(), NodeValueName::Email1Address()};
        CtlTable table(context.json);
        for (NodeHandle member : findRows(tree, group, context.find)) {
            QJsonObject row;
            QStringList cells;
            for (const QString &name : names) {
                row[name] = jsonOf(tree.value(member, name));
                cells << tree.value(member, name).toString();
            }
            // System colours (the default, window text) have the high bit set.
            const quint32 colour = tree.colour(member);
            if ((colour & 0x80000000u) == 0) {
                const QString rgb = QStringLiteral("#%1%2%3")
                                        .arg(colour & 0xFF, 2, 16, QLatin1Char('0'))
                                        .arg((colour >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                        .arg((colour >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
                row[QStringLiteral("colour")] = rgb;
                cells << rgb;
            }
            table.add(row, cells);
        }
        table.print();
        return ExitOk;
    });
}

} // namespace corvel
