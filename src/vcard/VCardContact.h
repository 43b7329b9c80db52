#pragma once

#include <QString>

namespace corvel {

// What the program keeps of one vCard: the values a contact item shows.
struct VCardContact
{
    QString fileAs;
    QString email1Address;
    QString categories; // joined by ", "

    friend bool operator==(const VCardContact &, const VCardContact &) = default;
};

} // namespace corvel
