#include "folders/FolderLookup.h"

#include "tree/NodeKinds.h"

#include <QStringList>

namespace corvel {

namespace {

const QString ListingPrefix = QStringLiteral(" ... data for: ");

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

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

bool isContactFolder(NodeKind kind)
{
    return kind == NodeKind::ContactFolder || kind == NodeKind::ContactFolderListed ||
           kind == NodeKind::ContactFolderListing;
}

bool isListable(NodeKind kind)
{
    return isContactFolder(kind) || kind == NodeKind::MessageFolder ||
           kind == NodeKind::MessageFolderListed || kind == NodeKind::MessageFolderListing;
}

NodeHandle findFolder(const TreeList &tree, const QString &argument)
{
    const NodeHandle byId = tree.findByValue(NodeValue(argument), NodeValueName::EntryId());
    if (byId && isListable(nodeKind(tree, byId)))
        return byId;
    return findByPath(tree, argument);
}

} // namespace corvel
