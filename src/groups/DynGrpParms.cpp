#include "groups/DynGrpParms.h"

#include "support/FieldStrings.h"

#include <QStringList>

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

DynamicDefinition DynGrpParms::definition() const
{
    DynamicDefinition result;
    result.categories = categories;
    if (entryIds.isEmpty())
        return result;
    const QStringList ids = entryIds.split(ListSeparator);
    const QStringList stores = storeIds.split(ListSeparator);
    const QStringList names = folderNames.split(ListSeparator);
    for (qsizetype i = 0; i < ids.size(); ++i)
        result.folders.push_back({ids[i], stores.value(i), names.value(i)});
    return result;
}

DynGrpParms DynGrpParms::of(const QString &name, const DynamicDefinition &definition)
{
    DynGrpParms parms;
    parms.name = name;
    parms.categories = definition.categories;
    QStringList ids, stores, names;
    for (const DynamicDefinition::Folder &folder : definition.folders) {
        ids << folder.entryId;
        stores << folder.storeId;
        names << listSafe(folder.name);
    }
    parms.entryIds = ids.join(ListSeparator);
    parms.storeIds = stores.join(ListSeparator);
    parms.folderNames = names.join(ListSeparator);
    return parms;
}

} // namespace corvel
