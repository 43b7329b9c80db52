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

} // namespace

MemberBranch::MemberBranch()
{
    m_branch.names() = {NodeValueName::olType(), NodeValueName::EntryId(), NodeValueName::FileAs(),
                        NodeValueName::Email1Address()};
}

void MemberBranch::reserve(size_t count)
{
    m_branch.nodes().reserve(count);
}

void MemberBranch::add(NodeKind kind, const QString &entryId, const QString &fileAs,
                       const QString &address)
{
    TreeBranch::Node member;
    member.colour = kind == NodeKind::TypedMember ? NodeColour::DarkBlue : NodeColour::WindowText;
    member.values = {{olTypeName, static_cast<int>(kind)},
                     {entryIdName, entryId},
                     {fileAsName, fileAs},
                     {addressName, address}};
    m_branch.nodes().push_back(std::move(member));
}

TreeBranch MemberBranch::take()
{
    // The tree's order for a group (TreeList sorts by the folded text, ties in the order
    // added), which GroupEditor::attachMembers vouches for.
    std::vector<TreeBranch::Node> &nodes = m_branch.nodes();
    std::vector<std::pair<QString, size_t>> keys;
    keys.reserve(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        keys.emplace_back(nodes[i].values[fileAsName].second.text().toCaseFolded(), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<TreeBranch::Node> sorted;
    sorted.reserve(nodes.size());
    for (const auto &key : keys)
        sorted.push_back(std::move(nodes[key.second]));
    nodes = std::move(sorted);
    return std::move(m_branch);
}

} // namespace corvel
