#include "support/GuidLib.h"

#include <QUuid>

namespace corvel {

QString NewGroupGuid()
{
    const QUuid id = QUuid::createUuid();
    if (id.isNull())
        return {};
    return id.toString(QUuid::WithBraces).toUpper();
}

} // namespace corvel
