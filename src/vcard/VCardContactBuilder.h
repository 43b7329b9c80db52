#pragma once

#include "vcard/VCardContact.h"

#include <QStringList>

#include <climits>

namespace corvel {

class VCardProperty;

// Gathers the properties of one card and applies the filing rules: FileAs from
// X-EVOLUTION-FILE-AS, else "Family, Given Additional" from N, else FN, else ORG; the
// preferred EMAIL, else the first; every CATEGORIES value; whether KIND (or its older
// X-ADDRESSBOOKSERVER-KIND) names a group, and then its FN, UID and MEMBER values
// (X-ADDRESSBOOKSERVER-MEMBER too); a contact's UID.
class VCardContactBuilder
{
public:
    void add(const VCardProperty &property);
    // The contact of the properties added since the last take; starts afresh.
    [[nodiscard]] VCardContact take();

private:
    void addName(const VCardProperty &property);
    void addEmail(const VCardProperty &property);
    void addMember(const VCardProperty &property);

    QString m_fileAsProperty;
    QString m_fromName;
    QString m_formattedName;
    QString m_organization;
    bool m_hasName = false;
    QString m_email;
    int m_emailRank = INT_MAX; // lower is preferred
    QStringList m_categories;
    bool m_isGroup = false;
    QString m_uid;
    QStringList m_members;
};

} // namespace corvel
