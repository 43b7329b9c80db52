#pragma once

#include <QByteArray>
#include <QString>

namespace corvel {

// One directory entry as a contact: its stable UID (lower case, as the vCard reader keeps
// it) and its vCard 3.0 text. The same entry always gives the same bytes.
struct DirectoryCard
{
    QString uid;
    QByteArray vcard;

    friend bool operator==(const DirectoryCard &, const DirectoryCard &) = default;
};

} // namespace corvel
