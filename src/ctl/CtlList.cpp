#include "ctl/CtlContext.h"
#include "folders/FolderLookup.h"
#include "folders/ItemLists.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvel {

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

} // namespace

int runList(const CtlContext &context)
{
    if (context.args.size() != 1) {
        printError(QStringLiteral("usage: corvelctl list FOLDER   (a caption path such as "
                                  "\"Personal Folders/Contacts\", or a folder's EntryId)"));
        return ExitUsage;
    }
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
    NodeHandle node = findFolder(tree, argument);
    if (node.isNull()) {
        printError(QStringLiteral("corvelctl: there is no folder \"%1\"").arg(argument));
        return ExitFailed;
    }
    const NodeKind kind = nodeKind(tree, node);
    if (!isListable(kind)) {
        printError(
            QStringLiteral("corvelctl: \"%1\" is not a contact or message folder").arg(argument));
        return ExitFailed;
    }

    ItemLists lists(tree, *workspace.session(), workspace.groups().columnSets(), nullptr, nullptr,
                    workspace.options().twipsPerPixelX);
    // A folder already listed into a listing node is listed again through that node.
    node = lists.rowsHolder(node);
    const bool contacts = kind == NodeKind::ContactFolder ||
                          kind == NodeKind::ContactFolderListed ||
                          kind == NodeKind::ContactFolderListing;
    const Status listed =
        contacts ? lists.LoadContacts(node) : lists.LoadMessages(node, true, true);
    if (!listed.ok()) {
        printError(QStringLiteral("corvelctl: %1").arg(listed.error()));
        return ExitFailed;
    }

    const NodeHandle holder = lists.rowsHolder(node);
    const ColumnLayout &layout = tree.columnLayout(holder);
    QStringList names;
    for (int i = 1; i < layout.columnCount(); ++i)
        names << layout.columns[static_cast<size_t>(i)].boundValue;

    QJsonArray rows;
    QString text;
    for (NodeHandle row = tree.firstChild(holder); row; row = tree.nextSibling(row)) {
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
    return complete ? ExitOk : ExitFailed;
}

} // namespace corvel
