#include "presentation/PublishTargetForm.h"

#include "tree/NodeKinds.h"

using namespace Qt::StringLiterals;

namespace corvel {

PublishTargetForm::PublishTargetForm(const TreeList &mainTree)
{
    for (const NodeHandle node : mainTree.displayOrder()) {
        const NodeKind kind = nodeKind(mainTree, node);
        // A listing is where a folder's rows are shown, not a folder of its own.
        if (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed)
            continue;
        QString path = mainTree.caption(node);
        for (NodeHandle up = mainTree.parent(node); up; up = mainTree.parent(up))
            path = mainTree.caption(up) + u'/' + path;
        m_rows.push_back({path, node});
    }
}

QString PublishTargetForm::caption()
{
    return u"Publish to Address Book"_s;
}

bool PublishTargetForm::choose(int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return false;
    m_answer = m_rows[static_cast<size_t>(row)].folder;
    return true;
}

} // namespace corvel
