#pragma once

#include "groups/GroupMember.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

namespace corvel {

// A Standard Mail Group as the group card an address book holds, in the dialect other clients
// read: members that are contacts of the card's folder by their UID, every other one by
// address.
class GroupCard
{
public:
    enum class Dialect
    {
        Apple,  // vCard 3.0 with X-ADDRESSBOOKSERVER-KIND and -MEMBER
        VCard4, // vCard 4.0 with KIND and MEMBER
    };
    // "apple" or "vcard4"; false for any other name.
    [[nodiscard]] static bool dialectNamed(const QString &name, Dialect &dialect);

    // uidByEntryId: the UIDs of the folder's contacts, by EntryID.
    [[nodiscard]] static QByteArray text(const QString &uid, const QString &caption,
                                         const std::vector<GroupMember> &members,
                                         const QHash<QString, QString> &uidByEntryId,
                                         Dialect dialect);
};

} // namespace corvel
