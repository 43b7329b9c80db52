#include "groups/ContactCopy.h"

#include "groups/MemberBranch.h"
#include "groups/MemberCheck.h"
#include "support/PercentMeter.h"
#include "tree/NodeKinds.h"

using namespace Qt::StringLiterals;

namespace corvel {

ContactCopy::Plan ContactCopy::plan(const TreeList &tree, NodeHandle group,
                                    const std::vector<NodeHandle> &nodes)
{
    Plan plan{group, HeldAddresses::of(tree, group), {}};
    plan.contacts.reserve(nodes.size());
    for (const NodeHandle node : nodes) {
        if (nodeKind(tree, node) == NodeKind::ContactRow)
            plan.contacts.push_back({tree.value(node, NodeValueName::EntryId()).toString(),
                                     tree.value(node, NodeValueName::FileAs()).toString(),
                                     tree.value(node, NodeValueName::Email1Address()).toString()});
    }
    return plan;
}

ContactCopy::Built ContactCopy::build(Plan plan, StatusPanels *progress)
{
    PercentMeter meter(progress, plan.contacts.size());
    MemberBranch members;
    members.reserve(plan.contacts.size());
    Built built;
    for (const Contact &contact : plan.contacts) {
        meter.step();
        if (contact.address.isEmpty())
            continue; // nothing to mail: no member
        const Result<QString> checked = MemberCheck::address(contact.address);
        if (!checked.ok()) {
            built.copied.refused.append(
                u"%1 <%2>: %3"_s.arg(contact.fileAs, contact.address, checked.error()));
            continue;
        }
        // Two selected contacts with one address add one member.
        if (!plan.held.insert(*checked))
            continue;
        members.add(NodeKind::CopiedMember, contact.entryId, contact.fileAs, *checked);
        ++built.copied.added;
    }
    built.members = members.take();
    return built;
}

Result<GroupEditor::Copied> ContactCopy::apply(TreeList &tree, const GroupStore &store,
                                               NodeHandle group, Built &&built)
{
    const Status attached = GroupEditor(tree, store).attachMembers(group, std::move(built.members));
    if (!attached.ok())
        return Result<GroupEditor::Copied>::failure(attached.error());
    return std::move(built.copied);
}

} // namespace corvel
