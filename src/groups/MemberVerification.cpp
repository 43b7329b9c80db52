#include "groups/MemberVerification.h"

#include "session/OutlookSession.h"
#include "support/PercentMeter.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

namespace corvel {

namespace {

constexpr int contactClass = 40;

MemberVerification::Outcome lookUpOne(OlNamespace *session, const MemberVerification::Member &m)
{
    MemberVerification::Outcome outcome{m.node, true, false, {}, {}};
    if (!m.lookedUp)
        return outcome;
    try {
        const auto item = session ? session->GetItemFromID(m.entryId) : nullptr;
        if (!item || (m.contact && item->Class() != contactClass))
            outcome.found = false;
        else if (m.contact) {
            outcome.refreshed = true;
            outcome.fileAs = item->FileAs();
            outcome.address = item->Email1Address();
        }
    } catch (const std::exception &) {
        outcome.found = false;
    }
    return outcome;
}

} // namespace

std::vector<MemberVerification::Member>
MemberVerification::plan(const TreeList &tree, const std::vector<NodeHandle> &nodes)
{
    std::vector<Member> members;
    members.reserve(nodes.size());
    for (const NodeHandle node : nodes) {
        const NodeKind kind = nodeKind(tree, node);
        const bool contact = kind == NodeKind::DynamicMember || kind == NodeKind::CopiedMember;
        const bool lookedUp = contact || kind == NodeKind::MailItemMember;
        members.push_back(
            {node, contact, lookedUp,
             lookedUp ? tree.value(node, NodeValueName::EntryId()).toString() : QString()});
    }
    return members;
}

std::vector<MemberVerification::Outcome>
MemberVerification::lookUp(OlNamespace *session, const std::vector<Member> &members,
                           StatusPanels *progress)
{
    std::vector<Outcome> outcomes;
    outcomes.reserve(members.size());
    PercentMeter meter(progress, members.size());
    for (const Member &member : members) {
        outcomes.push_back(lookUpOne(session, member));
        meter.step();
    }
    return outcomes;
}

bool MemberVerification::apply(TreeList &tree, const std::vector<Outcome> &outcomes)
{
    bool changed = false;
    for (const Outcome &outcome : outcomes) {
        if (!tree.isValid(outcome.node))
            continue;
        const quint32 colour = outcome.found ? NodeColour::WindowText : NodeColour::DarkRed;
        if (outcome.refreshed &&
            (tree.value(outcome.node, NodeValueName::FileAs()).text() != outcome.fileAs ||
             tree.value(outcome.node, NodeValueName::Email1Address()).text() != outcome.address)) {
            tree.setValue(outcome.node, NodeValueName::FileAs(), outcome.fileAs);
            tree.setValue(outcome.node, NodeValueName::Email1Address(), outcome.address);
            changed = true;
        }
        changed = changed || tree.colour(outcome.node) != colour;
        tree.setColour(outcome.node, colour);
    }
    return changed;
}

} // namespace corvel
