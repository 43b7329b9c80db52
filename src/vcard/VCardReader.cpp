#include "vcard/VCardReader.h"

#include "vcard/VCardContactBuilder.h"
#include "vcard/VCardLineReader.h"
#include "vcard/VCardProperty.h"

namespace corvel {

namespace {

bool isCardMarker(const VCardProperty &property, QByteArrayView name)
{
    return property.is(name) &&
           property.rawValue().trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

// Whether the line's property is one the reader uses, from its name alone: most lines of a
// card (TEL, ADR, PHOTO, NOTE...) are never taken apart.
bool isUsed(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    QByteArrayView name = line.first(end).trimmed();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    static constexpr QByteArrayView used[] = {"N",
                                              "FN",
                                              "EMAIL",
                                              "ORG",
                                              "BEGIN",
                                              "END",
                                              "CATEGORIES",
                                              "AGENT",
                                              "KIND",
                                              "X-ADDRESSBOOKSERVER-KIND",
                                              "UID",
                                              "MEMBER",
                                              "X-ADDRESSBOOKSERVER-MEMBER",
                                              "X-EVOLUTION-FILE-AS"};
    for (const QByteArrayView candidate : used) {
        if (name.size() == candidate.size() && name.compare(candidate, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

std::vector<VCardContact> VCardReader::read(QByteArrayView data)
{
    std::vector<VCardContact> contacts;
    VCardLineReader lines(data);
    VCardContactBuilder builder;
    bool inCard = false;
    int nested = 0;         // depth of cards embedded in this one (2.1 AGENT)
    bool agentOpen = false; // the last property was an AGENT whose value follows
    QByteArrayView line;
    while (lines.next(line)) {
        if (!isUsed(line)) {
            agentOpen = false;
            continue;
        }
        const std::optional<VCardProperty> property = VCardProperty::parse(line);
        if (!property)
            continue;
        if (isCardMarker(*property, "BEGIN")) {
            if (inCard && (agentOpen || nested > 0)) {
                ++nested;
            } else {
                if (inCard)
                    contacts.push_back(builder.take()); // it never had its END
                inCard = true;
            }
            agentOpen = false;
            continue;
        }
        agentOpen = false;
        if (!inCard)
            continue;
        if (isCardMarker(*property, "END")) {
            if (nested > 0) {
                --nested;
            } else {
                contacts.push_back(builder.take());
                inCard = false;
            }
            continue;
        }
        if (nested > 0)
            continue;
        if (property->is("AGENT") && property->rawValue().trimmed().isEmpty())
            agentOpen = true;
        else
            builder.add(*property);
    }
    if (inCard)
        contacts.push_back(builder.take());
    return contacts;
}

} // namespace corvel
