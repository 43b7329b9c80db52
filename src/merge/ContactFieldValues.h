#pragma once

#include <QByteArrayView>
#include <QString>

#include <map>
#include <optional>

namespace corvel {

class OlItem;

// A contact's values under the names of its fields ("First Name", "Company", "Job Title"...),
// for prompts named after a field. Names match without regard to case or spaces.
class ContactFieldValues
{
public:
    // Reads the contact's card; a contact that cannot be read has only its FileAs and address.
    [[nodiscard]] static ContactFieldValues of(const OlItem &contact);
    // The first card of vCard data.
    [[nodiscard]] static ContactFieldValues ofCard(QByteArrayView vcard);

    [[nodiscard]] std::optional<QString> value(const QString &fieldName) const;
    [[nodiscard]] static QString keyOf(const QString &fieldName);

private:
    void set(const char *fieldName, const QString &value);

    std::map<QString, QString> m_values; // by keyOf
};

} // namespace corvel
