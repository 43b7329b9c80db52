// Feeds arbitrary text to the LDAP URL parser. It must never crash or hang, and what it
// accepts must name a server and a filter that still narrows to entries with mail.
//
// Run: ./build-fuzz/bin/ldap_url_fuzz build-fuzz/corpus-ldap-url -max_len=512
//      -max_total_time=120 -artifact_prefix=build-fuzz/

#include "directory/LdapLocation.h"

#include <cstdint>
#include <cstdlib>

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString url = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<LdapLocation> location = LdapLocation::parse(url);
    if (location.ok() &&
        (location->host.isEmpty() || location->port < 1 || location->port > 65535 ||
         !location->searchFilter().endsWith(QStringLiteral("(mail=*))"))))
        std::abort();
    if (!location.ok() && location.error().isEmpty())
        std::abort();
    return 0;
}
