#include "directory/LdapCardWriter.h"

#include "vcard/VCardText.h"

#include <QUuid>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The namespace RFC 4122 gives name-based UUIDs of X.500 distinguished names.
constexpr QUuid DnNamespace(0x6ba7b814, 0x9dad, 0x11d1, 0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30,
                            0xc8);
QByteArray escaped(const QByteArray &utf8)
{
    return VCardText::escape(QString::fromUtf8(utf8));
}

void appendLine(QByteArray &card, QByteArrayView name, const QByteArray &value)
{
    VCardText::appendFolded(card, name.toByteArray() + ':' + value);
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
