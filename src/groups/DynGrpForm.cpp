#include "groups/DynGrpForm.h"

#include "support/FieldStrings.h"
#include "tree/NodeKinds.h"

#include <QHash>
#include <QSet>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace corvel {

DynGrpForm::DynGrpForm(const TreeList &mainTree, const QString &sourceFolderIds, QString name,
                       QString categories, QString entryIds, QString lastLoaded, QString title)
    : m_name(std::move(name))
    , m_categories(std::move(categories))
    , m_entryIds(std::move(entryIds))
    , m_lastLoaded(std::move(lastLoaded))
    , m_title(std::move(title))
{
    fill(mainTree, sourceFolderIds);
}

QString DynGrpForm::nameLabel()
{
    return u"&1. Name of Mail Group:"_s;
}

QString DynGrpForm::foldersLabel()
{
    return u"&2. Search in Selected Folders:"_s;
}

QString DynGrpForm::categoriesLabel()
{
    return u"&3. For Contacts with Categorie(s) of:"_s;
}

QString DynGrpForm::lastLoadedLabel()
{
    return u"Last Loaded:"_s;
}

void DynGrpForm::fill(const TreeList &mainTree, const QString &sourceFolderIds)
{
    const QString sep = ListSeparator;
    m_chooser.suspendDrawing();
    m_top = m_chooser.addNode(u"XXX"_s);

    // The first node of the main tree with each entry id, found in one pass.
    QHash<QString, NodeHandle> byEntryId;
    for (const NodeHandle node : mainTree.displayOrder()) {
        const QString id = mainTree.value(node, NodeValueName::EntryId()).toString();
        if (!id.isEmpty() && !byEntryId.contains(id))
            byEntryId.insert(id, node);
    }
    QSet<QString> chosen;
    const int chosenFields = DS_CountFields(m_entryIds, sep);
    for (int i = 1; i <= chosenFields; ++i)
        chosen.insert(DS_GetField(m_entryIds, sep, i));

    NodeHandle store;
    const int fields = DS_CountFields(sourceFolderIds, sep);
    for (int i = 1; i <= fields; ++i) {
        const QString id = DS_GetField(sourceFolderIds, sep, i);
        const NodeHandle source = byEntryId.value(id);
        if (!source)
            continue;
        if (nodeKind(mainTree, source) == NodeKind::Store) {
            store = m_chooser.addNode(mainTree.caption(source), m_top);
            m_chooser.setPicture(store, picStore);
            m_chooser.setChildOrder(store, ChildOrder::Natural);
            continue;
        }
        const NodeHandle folder =
            m_chooser.addNode(mainTree.caption(source), store ? store : m_top);
        m_chooser.setValue(folder, NodeValueName::EntryId(), id);
        m_chooser.setValue(folder, NodeValueName::StoreId(),
                           mainTree.value(source, NodeValueName::StoreId()));
        const bool isChosen = chosen.contains(id);
        m_chooser.setPicture(folder, isChosen ? picChosen : picNotChosen);
        m_chooser.setState(folder, isChosen ? 1 : 0);
        if (isChosen)
            ++m_chosenCount;
    }
    m_chooser.setChildOrder(m_top, ChildOrder::Natural);
    m_chooser.setExpanded(m_top, true);
    for (const NodeHandle child : m_chooser.children(m_top))
        m_chooser.setExpanded(child, true);
    m_chooser.setCurrent(m_top);
    m_chooser.refresh();
}

void DynGrpForm::toggle(NodeHandle node)
{
    if (!m_chooser.isValid(node))
        return;
    if (m_chooser.state(node) == 0) {
        m_chooser.setState(node, 1);
        m_chooser.setPicture(node, picChosen);
        ++m_chosenCount;
    } else {
        m_chooser.setState(node, 0);
        m_chooser.setPicture(node, picNotChosen);
        --m_chosenCount;
    }
}

void DynGrpForm::clickPicture(NodeHandle node)
{
    if (!m_chooser.isValid(node))
        return;
    m_chooser.setCurrent(node);
    toggle(node);
}

void DynGrpForm::pressSpace()
{
    const NodeHandle node = m_chooser.current();
    if (node && node != m_top)
        toggle(node);
}

bool DynGrpForm::okEnabled() const
{
    return !m_name.isEmpty() && !m_categories.isEmpty() && m_chosenCount >= 1;
}

void DynGrpForm::accept()
{
    if (!okEnabled())
        return;
    const QString sep = ListSeparator;
    DynGrpParms parms{m_name, m_categories, {}, {}, {}};
    QStringList entryIds, storeIds, names;
    for (const NodeHandle node : m_chooser.displayOrder()) {
        if (node == m_top || m_chooser.state(node) != 1)
            continue;
        const QString id = m_chooser.value(node, NodeValueName::EntryId()).toString();
        if (id.isEmpty())
            continue;
        entryIds << id;
        storeIds << m_chooser.value(node, NodeValueName::StoreId()).toString();
        names << DynGrpParms::listSafe(m_chooser.caption(node));
    }
    parms.entryIds = entryIds.join(sep);
    parms.storeIds = storeIds.join(sep);
    parms.folderNames = names.join(sep);
    m_answer = parms.toText();
}

} // namespace corvel
