#include "groups/MemberBranch.h"

namespace corvel {

MemberBranch::MemberBranch()
    : m_holder(m_rows.addNode(QString()))
{
}

void MemberBranch::add(NodeKind kind, const QString &entryId, const QString &fileAs,
                       const QString &address)
{
    const NodeHandle member = m_rows.addNode(QString(), m_holder);
    m_rows.setValue(member, NodeValueName::olType(), static_cast<int>(kind));
    m_rows.setValue(member, NodeValueName::EntryId(), entryId);
    m_rows.setValue(member, NodeValueName::FileAs(), fileAs);
    m_rows.setValue(member, NodeValueName::Email1Address(), address);
    if (kind == NodeKind::TypedMember)
        m_rows.setColour(member, NodeColour::DarkBlue);
}

TreeBranch MemberBranch::take()
{
    // The order GroupEditor::finishMembers gives a group.
    m_rows.setChildOrder(m_holder, ChildOrder::ByValue, NodeValueName::FileAs());
    return m_rows.copyBranch(m_holder, true);
}

} // namespace corvel
