#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace corvel {

// What a WebDAV server says of one resource in a multistatus answer: only the properties
// it reported with a success status.
struct DavResource
{
    QString href;
    int status = 200; // of the response as a whole (404: removed, in a sync report)
    QString etag;
    QString displayName;
    QString syncToken;
    QString principal;       // current-user-principal
    QString addressBookHome; // addressbook-home-set
    bool isAddressBook = false;
    bool offersSyncCollection = false;
    bool hasAddressData = false;
    QByteArray addressData;
};

struct Multistatus
{
    std::vector<DavResource> resources;
    QString syncToken; // of a sync-collection report
};

// Reads a 207 Multi-Status body (RFC 4918, with the CardDAV and sync additions). Anything
// else, or a value past its bound, is a failure that says what was wrong.
class MultistatusReader
{
public:
    static constexpr qsizetype MaxCardBytes = 1024 * 1024;
    static constexpr qsizetype MaxTextChars = 8 * 1024; // hrefs, etags, names, tokens
    static constexpr qsizetype MaxResources = 1000000;

    [[nodiscard]] static Result<Multistatus> read(const QByteArray &xml);
};

} // namespace corvel
