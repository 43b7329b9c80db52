#pragma once

#include "directory/DirectoryCard.h"
#include "directory/LdapConnectOptions.h"
#include "support/Result.h"

#include <vector>

namespace corvel {

// A directory's entries with a mail value, read whole, as contacts.
class LdapDirectory
{
public:
    // Every card, ordered by UID so that an unchanged directory gives the same list; a
    // failure says why (the URL, cannot connect, certificate not trusted for the name,
    // authentication refused, the server's answer not understood, too many entries).
    [[nodiscard]] static Result<std::vector<DirectoryCard>>
    fetchAll(const LdapConnectOptions &options);
};

} // namespace corvel
