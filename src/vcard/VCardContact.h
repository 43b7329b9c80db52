#pragma once

#include <QString>

namespace corvel {

// What the program keeps of one vCard: the values a contact item shows.
struct VCardContact
{
    QString fileAs;
    QString email1Address;
    QString categories; // joined by ", "
    // A distribution list (KIND:group) rather than a person: its members are in the card.
    bool isGroup = false;

    friend bool operator==(const VCardContact &, const VCardContact &) = default;
};

} // namespace corvel
