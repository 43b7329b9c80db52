#include "session/OlMessageItem.h"

namespace corvel {

QString OlMessageItem::FileAs() const
{
    throw OutlookError(QStringLiteral("A mail message has no FileAs."));
}

QString OlMessageItem::Email1Address() const
{
    throw OutlookError(QStringLiteral("A mail message has no Email1Address."));
}

QString OlMessageItem::Categories() const
{
    throw OutlookError(QStringLiteral("A mail message has no Categories."));
}

ContactCard OlMessageItem::Card() const
{
    throw OutlookError(QStringLiteral("A mail message has no contact card."));
}

} // namespace corvel
