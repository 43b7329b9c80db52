#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

// One recipient row of a run, read off the tree before the run starts.
struct MailMember
{
    QString name;    // FileAs, or the row's caption
    QString address; // Email1Address; empty for rows without one
    // The EntryID of the member's contact, when the row came from one; prompted fields named
    // after a contact field are filled in from it.
    QString contactId{};
};

inline QStringList addressesOf(const std::vector<MailMember> &members)
{
    QStringList addresses;
    addresses.reserve(static_cast<qsizetype>(members.size()));
    for (const MailMember &m : members)
        addresses.append(m.address);
    return addresses;
}

} // namespace corvel
