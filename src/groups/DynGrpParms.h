#pragma once

#include "groups/DynamicDefinition.h"

#include <QString>

namespace corvel {

// The definition of a Dynamic Mail Group as the parameters dialog answers it: five fields
// separated by the character with code 3; the three folder lists are "^" lists that line
// up field for field.
struct DynGrpParms
{
    QString name;
    QString categories;
    QString entryIds;
    QString storeIds;
    QString folderNames;

    [[nodiscard]] static QString fieldSeparator();
    [[nodiscard]] QString toText() const;
    // Empty text reads as empty fields.
    [[nodiscard]] static DynGrpParms fromText(const QString &text);
    // A caption as it may stand in a "^" list: a "^" would add a field, so it becomes a
    // look-alike that does not.
    [[nodiscard]] static QString listSafe(QString caption);

    // The folder lists as folders (none when entryIds is empty), and back.
    [[nodiscard]] DynamicDefinition definition() const;
    [[nodiscard]] static DynGrpParms of(const QString &name, const DynamicDefinition &definition);

    bool operator==(const DynGrpParms &) const = default;
};

} // namespace corvel
