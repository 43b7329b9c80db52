#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>

namespace corvel {

// One search result entry: its DN and the values of each attribute, names in lower case.
struct LdapEntry
{
    QString dn;
    QHash<QByteArray, QByteArrayList> attributes;

    // The values of an attribute named in any case; none when the entry lacks it.
    [[nodiscard]] QByteArrayList values(QByteArrayView name) const
    {
        return attributes.value(name.toByteArray().toLower());
    }
};

} // namespace corvel
