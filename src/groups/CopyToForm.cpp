#include "groups/CopyToForm.h"

#include "tree/NodeKinds.h"

using namespace Qt::StringLiterals;

namespace corvel {

CopyToForm::CopyToForm(const TreeList &mainTree, QString lastName, NewGroupHandler newGroup)
    : m_tree(mainTree)
    , m_lastName(std::move(lastName))
    , m_newGroup(std::move(newGroup))
{
}

QString CopyToForm::caption()
{
    return u"Copy Contacts"_s;
}

bool CopyToForm::fillCopyList()
{
    m_rows.clear();
    m_current = -1;
    m_okEnabled = false;
    const NodeHandle root = m_tree.findByValue(u"STDMG"_s, NodeValueName::EntryId());
    if (!root)
        return false;
    m_rows.push_back({m_tree.caption(root), picStandardRoot, m_tree.indexOf(root)});
    // The groups are the root's children, so its level-1 descendants.
    for (const NodeHandle group : m_tree.children(root))
        m_rows.push_back({m_tree.caption(group), picStandardGroup, m_tree.indexOf(group)});

    if (m_lastName.isEmpty()) {
        m_current = 0;
    } else {
        for (int i = 1; i < static_cast<int>(m_rows.size()); ++i) {
            if (m_rows[i].caption == m_lastName) {
                m_current = i;
                break;
            }
        }
    }
    return true;
}

void CopyToForm::clickRow(int row)
{
    if (row >= 0 && row < static_cast<int>(m_rows.size()))
        m_current = row;
    m_okEnabled = m_current >= 1;
}

bool CopyToForm::newGroup()
{
    if (m_rows.empty() || !m_newGroup)
        return false;
    const int before = m_tree.count();
    m_newGroup(m_rows.front().tlMainIx);
    if (m_tree.count() == before)
        return false;
    return fillCopyList();
}

void CopyToForm::accept()
{
    if (!m_okEnabled || m_current < 1)
        return;
    const Row &row = m_rows[m_current];
    m_answer = QString::number(row.tlMainIx) + u'\\' + row.caption;
}

} // namespace corvel
