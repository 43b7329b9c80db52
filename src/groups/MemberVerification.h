#pragma once

#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

class OlNamespace;
class StatusPanels;

// Members looked up again in three steps, so a window can look them up off its event loop:
// plan and apply touch the tree and run where it lives; lookUp reads only the session. A
// member found is shown as usual (a contact's name and address brought up to date), one not
// found in dark red; members typed in, and rows that are not members, count as found.
class MemberVerification
{
public:
    struct Member
    {
        NodeHandle node;
        bool contact = false; // else an item of any kind will do
        bool lookedUp = false;
        QString entryId;
    };
    struct Outcome
    {
        NodeHandle node;
        bool found = true;
        bool refreshed = false; // fileAs and address are the contact's now
        QString fileAs;
        QString address;
    };

    [[nodiscard]] static std::vector<Member> plan(const TreeList &tree,
                                                  const std::vector<NodeHandle> &nodes);
    // progress may be null.
    [[nodiscard]] static std::vector<Outcome>
    lookUp(OlNamespace *session, const std::vector<Member> &members, StatusPanels *progress);
    // A node removed meanwhile is left alone. False when no member changed.
    static bool apply(TreeList &tree, const std::vector<Outcome> &outcomes);
};

} // namespace corvel
