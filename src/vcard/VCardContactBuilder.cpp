#include "vcard/VCardContactBuilder.h"

#include "vcard/VCardProperty.h"
#include "vcard/VCardText.h"

#include <QUrl>

namespace corvel {

namespace {

constexpr int UnmarkedRank = INT_MAX - 1;

// The first component of a structured value, unescaped.
QString firstComponent(const QString &text)
{
    return VCardText::unescape(VCardText::split(text, u';').constFirst());
}

// A component of N may hold several values separated by commas: they are one name.
QString nameComponent(QStringView component)
{
    QStringList words;
    for (const QStringView part : VCardText::split(component, u',')) {
        QString word = VCardText::unescape(part);
        if (!word.isEmpty())
            words.append(word);
    }
    return words.join(u' ');
}

constexpr QStringView UuidScheme = u"urn:uuid:";
constexpr QStringView MailScheme = u"mailto:";

QString bareUid(QString text)
{
    text = text.trimmed();
    if (text.startsWith(UuidScheme, Qt::CaseInsensitive))
        text.remove(0, UuidScheme.size());
    return text.trimmed().toLower();
}

} // namespace

void VCardContactBuilder::add(const VCardProperty &property)
{
    if (property.is("EMAIL")) {
        addEmail(property);
    } else if (property.is("CATEGORIES")) {
        const QString text = property.text();
        for (const QStringView part : VCardText::split(text, u',')) {
            QString category = VCardText::unescape(part);
            if (!category.isEmpty())
                m_categories.append(category);
        }
    } else if (property.is("N")) {
        addName(property);
    } else if (property.is("FN")) {
        if (m_formattedName.isEmpty())
            m_formattedName = VCardText::unescape(property.text());
    } else if (property.is("ORG")) {
        if (m_organization.isEmpty())
            m_organization = firstComponent(property.text());
    } else if (property.is("KIND") || property.is("X-ADDRESSBOOKSERVER-KIND")) {
        m_isGroup =
            VCardText::unescape(property.text()).trimmed().compare(u"group", Qt::CaseInsensitive) ==
            0;
    } else if (property.is("UID")) {
        if (m_uid.isEmpty())
            m_uid = bareUid(VCardText::unescape(property.text()));
    } else if (property.is("MEMBER") || property.is("X-ADDRESSBOOKSERVER-MEMBER")) {
        addMember(property);
    } else if (property.is("X-EVOLUTION-FILE-AS")) {
        if (m_fileAsProperty.isEmpty())
            m_fileAsProperty = VCardText::unescape(property.text());
    }
}

void VCardContactBuilder::addName(const VCardProperty &property)
{
    if (m_hasName)
        return;
    m_hasName = true;
    const QString text = property.text();
    const QList<QStringView> parts = VCardText::split(text, u';');
    const QString family = nameComponent(parts.value(0));
    QStringList given;
    for (const qsizetype i : {1, 2}) {
        if (QString name = nameComponent(parts.value(i)); !name.isEmpty())
            given.append(name);
    }
    const QString givenNames = given.join(u' ');
    if (!family.isEmpty() && !givenNames.isEmpty())
        m_fromName = family + QStringLiteral(", ") + givenNames;
    else
        m_fromName = family.isEmpty() ? givenNames : family;
}

void VCardContactBuilder::addEmail(const VCardProperty &property)
{
    int rank = UnmarkedRank;
    property.forEachParameterValue("TYPE", [&](QByteArrayView type) {
        if (type.compare("PREF", Qt::CaseInsensitive) == 0)
            rank = std::min(rank, 1);
        return true;
    });
    property.forEachParameterValue("PREF", [&](QByteArrayView value) {
        bool ok = false;
        const int n = value.toByteArray().toInt(&ok);
        if (ok && n >= 0)
            rank = std::min(rank, n);
        return true;
    });
    if (rank >= m_emailRank)
        return;
    QString address = VCardText::unescape(property.text());
    if (address.isEmpty())
        return;
    m_email = std::move(address);
    m_emailRank = rank;
}

// Members of other forms (a URL, a bare name) name nothing the folder can hold: ignored.
void VCardContactBuilder::addMember(const VCardProperty &property)
{
    const QString value = VCardText::unescape(property.text()).trimmed();
    if (value.startsWith(UuidScheme, Qt::CaseInsensitive)) {
        const QString id = bareUid(value);
        if (!id.isEmpty())
            m_members.append(UuidScheme.toString() + id);
    } else if (value.startsWith(MailScheme, Qt::CaseInsensitive)) {
        // A mailto URI may carry headers after '?' and percent-encoded characters.
        QString address = value.mid(MailScheme.size()).section(u'?', 0, 0);
        address = QUrl::fromPercentEncoding(address.toUtf8()).trimmed();
        if (address.contains(u'@'))
            m_members.append(MailScheme.toString() + address);
    }
}

VCardContact VCardContactBuilder::take()
{
    VCardContact contact;
    if (!m_fileAsProperty.isEmpty())
        contact.fileAs = m_fileAsProperty;
    else if (!m_fromName.isEmpty())
        contact.fileAs = m_fromName;
    else if (!m_formattedName.isEmpty())
        contact.fileAs = m_formattedName;
    else
        contact.fileAs = m_organization;
    contact.email1Address = m_email;
    contact.categories = m_categories.join(QStringLiteral(", "));
    contact.isGroup = m_isGroup;
    contact.uid = std::move(m_uid);
    if (m_isGroup) {
        // A group is known by the name it is shown with.
        if (!m_formattedName.isEmpty())
            contact.fileAs = m_formattedName;
        contact.members = std::move(m_members);
    }
    *this = VCardContactBuilder();
    return contact;
}

} // namespace corvel
