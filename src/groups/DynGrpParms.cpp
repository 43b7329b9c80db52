#include "groups/DynGrpParms.h"

#include "support/FieldStrings.h"

namespace corvel {

QString DynGrpParms::fieldSeparator()
{
    return QString(QChar(3));
}

QString DynGrpParms::toText() const
{
    const QString sep = fieldSeparator();
    return name + sep + categories + sep + entryIds + sep + storeIds + sep + folderNames;
}

DynGrpParms DynGrpParms::fromText(const QString &text)
{
    const QString sep = fieldSeparator();
    return {DS_GetField(text, sep, 1), DS_GetField(text, sep, 2), DS_GetField(text, sep, 3),
            DS_GetField(text, sep, 4), DS_GetField(text, sep, 5)};
}

QString DynGrpParms::listSafe(QString caption)
{
    return caption.replace(ListSeparator, QString(QChar(0x02C6))); // modifier letter circumflex
}

} // namespace corvel
