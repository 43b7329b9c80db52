#pragma once

#include <QString>

namespace corvel {

// Where a Standard Mail Group was last published as a group card. The UID stays with the
// group for good, so that publishing again updates the same card.
struct PublishedCard
{
    QString uid;
    QString folder; // the folder's identity: "STORE\nHREF" on a server, else its directory
    QString tag;    // the card as published: its etag, or "sha256:HEX" of a local file

    bool operator==(const PublishedCard &) const = default;
};

} // namespace corvel
