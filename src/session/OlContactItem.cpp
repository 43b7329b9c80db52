#include "session/OlContactItem.h"

namespace corvel {

void OlContactItem::notAMessage()
{
    throw OutlookError(QStringLiteral("The item is a contact, not a message."));
}

QString OlContactItem::Subject() const
{
    notAMessage();
}
void OlContactItem::setSubject(const QString &)
{
    notAMessage();
}
QString OlContactItem::Body() const
{
    notAMessage();
}
void OlContactItem::setBody(const QString &)
{
    notAMessage();
}
QString OlContactItem::To() const
{
    notAMessage();
}
void OlContactItem::setTo(const QString &)
{
    notAMessage();
}
QString OlContactItem::CC() const
{
    notAMessage();
}
void OlContactItem::setCC(const QString &)
{
    notAMessage();
}
QString OlContactItem::BCC() const
{
    notAMessage();
}
void OlContactItem::setBCC(const QString &)
{
    notAMessage();
}
void OlContactItem::Save()
{
    notAMessage();
}
std::shared_ptr<OlItem> OlContactItem::Copy()
{
    notAMessage();
}
void OlContactItem::Send()
{
    notAMessage();
}

} // namespace corvel
