#include "groups/GroupCard.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr qsizetype MaxLineOctets = 75;

QByteArray escaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u',' || c == u';')
            out += u'\\';
        if (c == u'\n')
            out += u"\\n"_s;
        else if (c != u'\r')
            out += c.unicode() < 0x20 ? QChar(u' ') : c;
    }
    return out.toUtf8();
}

// Folded at 75 octets, never inside a UTF-8 sequence.
void appendLine(QByteArray &card, const QByteArray &line)
{
    qsizetype start = 0;
    qsizetype room = MaxLineOctets;
    while (line.size() - start > room) {
        qsizetype end = start + room;
        while (end > start + 1 && (uchar(line[end]) & 0xC0) == 0x80)
            --end;
        card += line.mid(start, end - start) + "\r\n ";
        start = end;
        room = MaxLineOctets - 1;
    }
    card += line.mid(start) + "\r\n";
}

} // namespace

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
    appendLine(card, apple ? "VERSION:3.0" : "VERSION:4.0");
    appendLine(card, "PRODID:-//Tessary//Corvel//EN");
    appendLine(card, apple ? "UID:" + uid.toUtf8() : "UID:urn:uuid:" + uid.toUtf8());
    appendLine(card, "FN:" + escaped(caption));
    if (apple) // vCard 3.0 cards must have a name
        appendLine(card, "N:" + escaped(caption) + ";;;;");
    appendLine(card, apple ? "X-ADDRESSBOOKSERVER-KIND:group" : "KIND:group");
    const QByteArray member = apple ? "X-ADDRESSBOOKSERVER-MEMBER:" : "MEMBER:";
    for (const GroupMember &m : members) {
        const QString contactUid = m.entryId.isEmpty() ? QString() : uidByEntryId.value(m.entryId);
        if (!contactUid.isEmpty())
            appendLine(card, member + "urn:uuid:" + contactUid.toUtf8());
        else if (!m.address.isEmpty())
            appendLine(card,
                       member + "mailto:" + QUrl::toPercentEncoding(m.address, "@!$&'*+=^_`{|}~"));
    }
    card += "END:VCARD\r\n";
    return card;
}

} // namespace corvel
