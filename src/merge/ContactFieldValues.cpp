#include "merge/ContactFieldValues.h"

#include "session/OutlookSession.h"
#include "support/DataFile.h"
#include "vcard/VCardProperty.h"
#include "vcard/VCardText.h"

namespace corvel {

namespace {

// No card comes near this; a larger file is no contact worth filling prompts from.
constexpr qint64 kMaxCardBytes = 1 << 20;

QString part(const QList<QStringView> &parts, qsizetype index)
{
    return index < parts.size() ? VCardText::unescape(parts[index]).trimmed() : QString();
}

} // namespace

QString ContactFieldValues::keyOf(const QString &fieldName)
{
    QString key;
    for (const QChar c : fieldName)
        if (!c.isSpace() && c != u'-' && c != u'_')
            key += c;
    return key.toCaseFolded();
}

void ContactFieldValues::set(const char *fieldName, const QString &value)
{
    // The first of a kind wins, as the card's first address is its Email1Address.
    m_values.emplace(keyOf(QString::fromLatin1(fieldName)), value);
}

std::optional<QString> ContactFieldValues::value(const QString &fieldName) const
{
    const auto found = m_values.find(keyOf(fieldName));
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

ContactFieldValues ContactFieldValues::ofCard(QByteArrayView vcard)
{
    ContactFieldValues values;
    VCardProperty::forEachOfFirstCard(vcard, [&values](const VCardProperty &property) {
        const QString text = property.text();
        const QList<QStringView> parts = VCardText::split(text, u';');
        const QString plain = VCardText::unescape(text).trimmed();
        if (property.is("N")) {
            values.set("Last Name", part(parts, 0));
            values.set("First Name", part(parts, 1));
            values.set("Middle Name", part(parts, 2));
            values.set("Title", part(parts, 3));
            values.set("Suffix", part(parts, 4));
        } else if (property.is("FN")) {
            values.set("Full Name", plain);
        } else if (property.is("NICKNAME")) {
            values.set("Nickname", part(VCardText::split(text, u','), 0));
        } else if (property.is("ORG")) {
            values.set("Company", part(parts, 0));
            values.set("Company Name", part(parts, 0));
            values.set("Department", part(parts, 1));
        } else if (property.is("TITLE")) {
            values.set("Job Title", plain);
        } else if (property.is("ROLE")) {
            values.set("Profession", plain);
        } else if (property.is("EMAIL")) {
            values.set("E-mail", plain);
            values.set("E-mail Address", plain);
        } else if (property.is("BDAY")) {
            values.set("Birthday", plain);
        }
    });
    return values;
}

ContactFieldValues ContactFieldValues::of(const OlItem &contact)
{
    ContactFieldValues values;
    try {
        const ContactCard card = contact.Card();
        if (!card.path.isEmpty())
            if (Result<QByteArray> bytes = DataFile::read(card.path, kMaxCardBytes); bytes.ok())
                values = ofCard(*bytes);
        values.set("File As", contact.FileAs());
        values.set("E-mail", contact.Email1Address());
        values.set("E-mail Address", contact.Email1Address());
    } catch (const OutlookError &) {
    }
    return values;
}

} // namespace corvel
