#include "groups/GroupCard.h"

#include "vcard/VCardText.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace corvel {

bool GroupCard::dialectNamed(const QString &name, Dialect &dialect)
{
    if (name == u"apple"_s)
        dialect = Dialect::Apple;
    else if (name == u"vcard4"_s)
        dialect = Dialect::VCard4;
    else
        return false;
    return true;
}

QByteArray GroupCard::text(const QString &uid, const QString &caption,
                           const std::vector<GroupMember> &members,
                           const QHash<QString, QString> &uidByEntryId, Dialect dialect)
{
    const bool apple = dialect == Dialect::Apple;
    QByteArray card = "BEGIN:VCARD\r\n";
    VCardText::appendFolded(card, apple ? "VERSION:3.0" : "VERSION:4.0");
    VCardText::appendFolded(card, "PRODID:-//Tessary//Corvel//EN");
    VCardText::appendFolded(card, apple ? "UID:" + uid.toUtf8() : "UID:urn:uuid:" + uid.toUtf8());
    VCardText::appendFolded(card, "FN:" + VCardText::escape(caption));
    if (apple) // vCard 3.0 cards must have a name
        VCardText::appendFolded(card, "N:" + VCardText::escape(caption) + ";;;;");
    VCardText::appendFolded(card, apple ? "X-ADDRESSBOOKSERVER-KIND:group" : "KIND:group");
    const QByteArray member = apple ? "X-ADDRESSBOOKSERVER-MEMBER:" : "MEMBER:";
    for (const GroupMember &m : members) {
        const QString contactUid = m.entryId.isEmpty() ? QString() : uidByEntryId.value(m.entryId);
        if (!contactUid.isEmpty())
            VCardText::appendFolded(card, member + "urn:uuid:" + contactUid.toUtf8());
        else if (!m.address.isEmpty())
            VCardText::appendFolded(
                card, member + "mailto:" + QUrl::toPercentEncoding(m.address, "@!$&'*+=^_`{|}~"));
    }
    card += "END:VCARD\r\n";
    return card;
}

} // namespace corvel
