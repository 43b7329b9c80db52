#pragma once

#include "directory/DirectoryCard.h"
#include "directory/LdapEntry.h"

#include <optional>

namespace corvel {

// An entry as a vCard 3.0 contact: FN from displayName or cn, N from sn and givenName, each
// mail an EMAIL (the first value first), ORG from o, TITLE from title, CATEGORIES from the
// categories attribute; the UID is entryUUID, else a name-based UUID of the DN.
class LdapCardWriter
{
public:
    explicit LdapCardWriter(const QString &categoriesAttribute);

    // None for an entry without a mail value: it names nobody to write to.
    [[nodiscard]] std::optional<DirectoryCard> write(const LdapEntry &entry) const;
    // The attributes write() reads, for the search to ask for.
    [[nodiscard]] QByteArrayList attributes() const;

private:
    QByteArray m_categoriesAttribute;
};

} // namespace corvel
