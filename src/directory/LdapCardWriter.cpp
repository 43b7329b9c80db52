#include "directory/LdapCardWriter.h"

#include <QUuid>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The namespace RFC 4122 gives name-based UUIDs of X.500 distinguished names.
constexpr QUuid DnNamespace(0x6ba7b814, 0x9dad, 0x11d1, 0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30,
                            0xc8);
constexpr qsizetype MaxLineOctets = 75;

// A text value escaped for vCard 3.0: backslash, comma, semicolon and line breaks; other
// control characters become spaces, as they could end up in mail headers.
QByteArray escaped(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u',' || c == u';') {
            out += u'\\';
            out += c;
        } else if (c == u'\r' || c == u'\n') {
            out += u"\\n"_s;
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out += c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u' ') : c;
        }
    }
    return out.toUtf8();
}

// Appends "NAME:VALUE" folded into lines of at most 75 octets, never inside a UTF-8 sequence.
void appendLine(QByteArray &card, QByteArrayView name, const QByteArray &value)
{
    const QByteArray line = name.toByteArray() + ':' + value;
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

QByteArray first(const QByteArrayList &values)
{
    for (const QByteArray &value : values) {
        if (!value.trimmed().isEmpty())
            return value.trimmed();
    }
    return {};
}

QString uidOf(const LdapEntry &entry)
{
    const QUuid given = QUuid::fromString(QString::fromLatin1(first(entry.values("entryUUID"))));
    const QUuid uid = given.isNull() ? QUuid::createUuidV5(DnNamespace, entry.dn) : given;
    return uid.toString(QUuid::WithoutBraces);
}

QByteArray formattedName(const LdapEntry &entry, const QByteArray &mail)
{
    for (const char *attribute : {"displayName", "cn"}) {
        if (QByteArray name = first(entry.values(attribute)); !name.isEmpty())
            return name;
    }
    const QByteArray joined =
        (first(entry.values("givenName")) + ' ' + first(entry.values("sn"))).trimmed();
    return joined.isEmpty() ? mail : joined;
}

} // namespace

LdapCardWriter::LdapCardWriter(const QString &categoriesAttribute)
    : m_categoriesAttribute(categoriesAttribute.toUtf8())
{
}

QByteArrayList LdapCardWriter::attributes() const
{
    return {"displayName", "cn",    "sn",        "givenName",          "mail",
            "o",           "title", "entryUUID", m_categoriesAttribute};
}

std::optional<DirectoryCard> LdapCardWriter::write(const LdapEntry &entry) const
{
    QByteArrayList mails;
    for (const QByteArray &mail : entry.values("mail")) {
        if (!mail.trimmed().isEmpty())
            mails.append(mail.trimmed());
    }
    if (mails.isEmpty())
        return std::nullopt;
    DirectoryCard card{uidOf(entry), {}};
    QByteArray &text = card.vcard;
    text = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    appendLine(text, "UID", card.uid.toLatin1());
    appendLine(text, "FN", escaped(formattedName(entry, mails.constFirst())));
    appendLine(text, "N",
               escaped(first(entry.values("sn"))) + ';' +
                   escaped(first(entry.values("givenName"))) + ";;;");
    for (qsizetype i = 0; i < mails.size(); ++i)
        appendLine(text, i == 0 ? "EMAIL;TYPE=INTERNET,PREF" : "EMAIL;TYPE=INTERNET",
                   escaped(mails[i]));
    if (const QByteArray org = first(entry.values("o")); !org.isEmpty())
        appendLine(text, "ORG", escaped(org));
    if (const QByteArray title = first(entry.values("title")); !title.isEmpty())
        appendLine(text, "TITLE", escaped(title));
    QByteArrayList categories;
    for (const QByteArray &category : entry.values(m_categoriesAttribute)) {
        if (!category.trimmed().isEmpty())
            categories.append(escaped(category.trimmed()));
    }
    if (!categories.isEmpty())
        appendLine(text, "CATEGORIES", categories.join(','));
    text += "END:VCARD\r\n";
    return card;
}

} // namespace corvel
