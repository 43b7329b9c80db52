#include "vcard/VCardDetails.h"

#include "vcard/VCardLineReader.h"
#include "vcard/VCardProperty.h"
#include "vcard/VCardText.h"

#include <QStringList>

#include <optional>

namespace corvel {

namespace {

using Kind = VCardDetail::Kind;

std::optional<Kind> kindOf(const VCardProperty &property)
{
    static const struct
    {
        const char *name;
        Kind kind;
    } kinds[] = {
        {"FN", Kind::Name},           {"N", Kind::Name},
        {"NICKNAME", Kind::Nickname}, {"EMAIL", Kind::Email},
        {"TEL", Kind::Phone},         {"ADR", Kind::Address},
        {"ORG", Kind::Organisation},  {"TITLE", Kind::Title},
        {"ROLE", Kind::Title},        {"CATEGORIES", Kind::Categories},
        {"NOTE", Kind::Note},         {"URL", Kind::WebPage},
        {"BDAY", Kind::Birthday},
    };
    for (const auto &entry : kinds) {
        if (property.is(QByteArrayView(entry.name)))
            return entry.kind;
    }
    return std::nullopt;
}

// A note is read as written: its escaped line breaks stay line breaks.
QString unescapeKeepingLines(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            out += (next == u'n' || next == u'N') ? QChar(u'\n') : next;
        } else if (c != u'\r') {
            out += c;
        }
    }
    return out.trimmed();
}

QString joinedParts(const QString &value, const std::vector<int> &order, const QString &glue)
{
    const QList<QStringView> parts = VCardText::split(value, u';');
    QStringList kept;
    for (int index : order) {
        if (index < parts.size()) {
            const QString part = VCardText::unescape(parts[index]);
            if (!part.isEmpty())
                kept.append(part);
        }
    }
    return kept.join(glue);
}

QString typesOf(const VCardProperty &property)
{
    QStringList types;
    property.forEachParameterValue("TYPE", [&types](QByteArrayView value) {
        const QString type = QString::fromUtf8(value).toLower();
        if (type != u"pref" && type != u"internet" && !types.contains(type))
            types.append(type);
        return true;
    });
    return types.join(QStringLiteral(", "));
}

QString valueOf(Kind kind, const VCardProperty &property)
{
    const QString text = property.text();
    switch (kind) {
    case Kind::Name:
        if (property.is("N")) // family; given; additional; prefixes; suffixes
            return joinedParts(text, {3, 1, 2, 0, 4}, QStringLiteral(" "));
        return VCardText::unescape(text);
    case Kind::Address: // post office box; extended; street; locality; region; code; country
        return joinedParts(text, {0, 1, 2, 3, 4, 5, 6}, QStringLiteral(", "));
    case Kind::Organisation:
        return joinedParts(text, {0, 1, 2, 3}, QStringLiteral(", "));
    case Kind::Categories: {
        QStringList categories;
        for (QStringView part : VCardText::split(text, u','))
            categories.append(VCardText::unescape(part));
        categories.removeAll(QString());
        return categories.join(QStringLiteral(", "));
    }
    case Kind::Note:
        return unescapeKeepingLines(text);
    default:
        return VCardText::unescape(text);
    }
}

} // namespace

std::vector<VCardDetail> VCardDetails::read(QByteArrayView data)
{
    std::vector<VCardDetail> details;
    VCardProperty::forEachOfFirstCard(data, [&details](const VCardProperty &property) {
        const std::optional<Kind> kind = kindOf(property);
        if (!kind)
            return;
        VCardDetail detail{*kind, typesOf(property), valueOf(*kind, property)};
        if (!detail.value.isEmpty())
            details.push_back(std::move(detail));
    });
    return details;
}

} // namespace corvel
