#include "groups/MemberBranch.h"

#include <algorithm>

namespace corvel {

namespace {

// Indices into the branch's names.
enum Name : int
{
    olTypeName,
    entryIdName,
    fileAsName,
    addressName,
};

quint64 headOf(const QString &key)
{
    quint64 head = 0;
    for (qsizetype i = 0; i < 4; ++i)
        head = (head << 16) | (i < key.size() ? key.at(i).unicode() : 0);
    return head;
}

} // namespace

void MemberBranch::add(NodeKind kind, const QString &entryId, const QString &fileAs,
                       const QString &address)
{
    QString key = fileAs.toCaseFolded();
    const quint64 head = headOf(key);
    m_members.push_back({std::move(key), head, kind, entryId, fileAs, address});
}

TreeBranch MemberBranch::take()
{
    // The tree's order for a group (TreeList sorts by the folded text, ties in the order
    // added), which GroupEditor::attachMembers vouches for.
    const auto before = [](const Member &a, const Member &b) {
        return a.head != b.head ? a.head < b.head : a.key < b.key;
    };
    // A list saved from a group comes back in its order.
    if (!std::is_sorted(m_members.begin(), m_members.end(), before))
        std::stable_sort(m_members.begin(), m_members.end(), before);
    TreeBranch branch;
    branch.names() = {NodeValueName::olType(), NodeValueName::EntryId(), NodeValueName::FileAs(),
                      NodeValueName::Email1Address()};
    branch.nodes().resize(m_members.size());
    for (size_t i = 0; i < m_members.size(); ++i) {
        Member &member = m_members[i];
        TreeBranch::Node &node = branch.nodes()[i];
        node.colour =
            member.kind == NodeKind::TypedMember ? NodeColour::DarkBlue : NodeColour::WindowText;
        node.values = {{olTypeName, static_cast<int>(member.kind)},
                       {entryIdName, std::move(member.entryId)},
                       {fileAsName, std::move(member.fileAs)},
                       {addressName, std::move(member.address)}};
    }
    m_members.clear();
    return branch;
}

} // namespace corvel
