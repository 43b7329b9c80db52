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
