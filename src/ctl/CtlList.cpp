#include "ctl/CtlContext.h"
#include "folders/FolderListing.h"
#include "folders/ItemLists.h"
#include "tree/NodeKinds.h"
#include "tree/RowFinder.h"
#include "workspace/Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvel {

namespace {

const QString ListingPrefix = QStringLiteral(" ... data for: ");

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A caption path from the top level, "/" between captions, matched without regard to case.
// The last step may name the listing node a folder with sub-folders will get.
NodeHandle findByPath(const TreeList &tree, const QString &path)
{
    NodeHandle node;
    const QStringList steps = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        NodeHandle found;
        for (NodeHandle child = tree.firstChild(node); child && !found;
             child = tree.nextSibling(child)) {
            if (sameText(tree.caption(child), steps[i]))
                found = child;
        }
        if (!found && i == steps.size() - 1 && node &&
            sameText(steps[i].trimmed(), (ListingPrefix + tree.caption(node)).trimmed()))
            found = node;
        if (!found)
            return {};
        node = found;
    }
    return node;
}

} // namespace

NodeHandle findFolder(const TreeList &tree, const QString &argument)
{
    const NodeHandle byId = tree.findByValue(NodeValue(argument), NodeValueName::EntryId());
    if (byId && FolderListing::itemsOf(nodeKind(tree, byId)))
        return byId;
    return findByPath(tree, argument);
}

std::vector<NodeHandle> findRows(const TreeList &tree, NodeHandle holder, const QString &text)
{
    if (text.isEmpty())
        return tree.children(holder);
    RowFinder finder;
    finder.prepare(tree, holder);
    finder.setText(text);
    return finder.shownRows();
}

namespace {

// A value holding a tab or a line break would shift the cells of every line after it.
QString oneCell(QString value)
{
    for (QChar &c : value) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return value;
}

QJsonValue jsonOf(const NodeValue &value)
{
    if (value.isNumber())
        return QJsonValue(static_cast<double>(value.number()));
    return QJsonValue(value.toString());
}

// The rows below holder, one line (or JSON object) each, with the folder's columns.
void printRows(const TreeList &tree, NodeHandle holder, const CtlContext &context)
{
    const ColumnLayout &layout = tree.columnLayout(holder);
    QStringList names;
    for (int i = 1; i < layout.columnCount(); ++i)
        names << layout.columns[static_cast<size_t>(i)].boundValue;

    QJsonArray rows;
    QString text;
    for (NodeHandle row : findRows(tree, holder, context.find)) {
        if (context.json) {
            QJsonObject object{
                {NodeValueName::olType(), jsonOf(tree.value(row, NodeValueName::olType()))},
                {NodeValueName::EntryId(), jsonOf(tree.value(row, NodeValueName::EntryId()))}};
            for (const QString &name : names) {
                if (!name.isEmpty())
                    object[name] = jsonOf(tree.value(row, name));
            }
            rows.append(object);
        } else {
            QStringList cells;
            for (const QString &name : names)
                cells << oneCell(tree.value(row, name).toString());
            text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
    }
    if (context.json)
        printOut(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)));
    else if (!text.isEmpty())
        printOut(text);
}

} // namespace

int runList(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    const Workspace::Opened opened = workspace.open();
    for (const QString &detail : opened.details)
        printError(QStringLiteral("corvelctl: %1").arg(detail));
    if (!workspace.isSessionOpen()) {
        if (opened.details.isEmpty())
            printError(QStringLiteral("corvelctl: %1").arg(opened.statusText));
        return ExitFailed;
    }
    const bool complete = opened.statusText.isEmpty();

    TreeList &tree = workspace.tree();
    const QString &argument = context.args[0];
    const NodeHandle node = findFolder(tree, argument);
    if (node.isNull()) {
        printError(QStringLiteral("corvelctl: there is no folder \"%1\"").arg(argument));
        return ExitFailed;
    }
    if (!FolderListing::itemsOf(nodeKind(tree, node))) {
        printError(
            QStringLiteral("corvelctl: \"%1\" is not a contact or message folder").arg(argument));
        return ExitFailed;
    }

    ItemLists lists(tree, *workspace.session(), workspace.groups().columnSets(), nullptr, nullptr,
                    workspace.options().twipsPerPixelX);
    const Result<NodeHandle> listed = FolderListing(tree, lists).list(node);
    if (!listed.ok()) {
        printError(QStringLiteral("corvelctl: %1").arg(listed.error()));
        return ExitFailed;
    }

    printRows(tree, *listed, context);
    return complete ? ExitOk : ExitFailed;
}

} // namespace corvel
