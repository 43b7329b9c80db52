#pragma once

#include <QString>
#include <QStringList>

namespace corvel {

// What the program keeps of one vCard: the values a contact item shows.
struct VCardContact
{
    QString fileAs;
    QString email1Address;
    QString categories; // joined by ", "
    // A distribution list (KIND:group) rather than a person: its members are in the card.
    bool isGroup = false;
    // The card's UID, without a "urn:uuid:" prefix and in lower case, so members match it.
    QString uid{};
    // A group's members, each "urn:uuid:ID" (ID as uid holds it) or "mailto:ADDRESS".
    QStringList members{};

    friend bool operator==(const VCardContact &, const VCardContact &) = default;
};

} // namespace corvel
