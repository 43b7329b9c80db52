#pragma once

#include "tree/NodeKinds.h"
#include "tree/TreeBranch.h"

#include <QString>

#include <vector>

namespace corvel {

// New members of a group made away from the main tree, and handed over as one branch sorted
// as the group sorts them (by FileAs, in any case, ties in the order added): a worker can make
// them, and the tree takes them in one step and finds them in order.
class MemberBranch
{
public:
    void reserve(size_t count) { m_members.reserve(count); }
    void add(NodeKind kind, const QString &entryId, const QString &fileAs, const QString &address);
    [[nodiscard]] TreeBranch take();

private:
    struct Member
    {
        QString key;  // FileAs folded
        quint64 head; // its first four units, which settle most comparisons
        NodeKind kind;
        QString entryId;
        QString fileAs;
        QString address;
    };
    std::vector<Member> m_members;
};

} // namespace corvel
