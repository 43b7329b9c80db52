#pragma once

#include <QString>

namespace corvel {

// One member of a mail group as the group file holds it.
struct GroupMember
{
    enum class Origin
    {
        TypedIn,  // added by hand or from an address list file
        Copied,   // copied from a contact, which entryId names
        Loaded,   // found by a Dynamic Mail Group's load
        MailItem, // an item other than a contact, which entryId names
    };
    enum class State
    {
        Verified, // found the last time it was looked up, or never looked up
        Missing,  // its contact could not be found the last time it was looked up
    };

    QString name;
    QString address;
    Origin origin = Origin::TypedIn;
    QString entryId; // empty for a member typed in
    State state = State::Verified;

    bool operator==(const GroupMember &) const = default;
};

} // namespace corvel
