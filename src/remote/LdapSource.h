#pragma once

#include "directory/LdapConnectOptions.h"
#include "remote/RemoteFolderSource.h"

namespace corvel {

// An LDAP directory as a store of one folder, "Directory". Directories rarely offer a
// difference, so every sync reads the whole result; the etag is a hash of each card's text,
// which the cache compares to write only what changed.
class LdapSource : public RemoteFolderSource
{
public:
    explicit LdapSource(LdapConnectOptions options);

    [[nodiscard]] Result<std::vector<RemoteFolder>> folders() override;
    [[nodiscard]] Result<RemoteFolder> update(const RemoteFolder &folder,
                                              const RemoteFolder &cached) override;

private:
    LdapConnectOptions m_options;
};

} // namespace corvel
