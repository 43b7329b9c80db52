#include "vcard/VCardText.h"

#include <algorithm>

namespace corvel {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t') || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 ||
           u == 0x2029;
}

} // namespace

QList<QStringView> VCardText::split(QStringView value, QChar separator)
{
    QList<QStringView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            ++i; // the escaped character, whatever it is
        } else if (value[i] == separator) {
            parts.append(value.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.append(value.sliced(std::min(start, value.size())));
    return parts;
}

QString VCardText::unescape(QStringView value)
{
    // Most values need nothing undone: one copy then.
    if (std::none_of(value.begin(), value.end(),
                     [](QChar c) { return c == u'\\' || isControl(c); }))
        return value.trimmed().toString();
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value[i + 1];
            if (next == u'n' || next == u'N') {
                out.append(u' ');
                ++i;
                continue;
            }
            if (next == u',' || next == u';' || next == u':' || next == u'\\') {
                out.append(next);
                ++i;
                continue;
            }
        }
        out.append(isControl(c) ? QChar(u' ') : c);
    }
    return out.trimmed();
}

QByteArray VCardText::escape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u',' || c == u';') {
            out += u'\\';
            out += c;
        } else if (c == u'\r' || c == u'\n') {
            out += QStringLiteral("\\n");
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            out += c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u' ') : c;
        }
    }
    return out.toUtf8();
}

void VCardText::appendFolded(QByteArray &card, QByteArrayView line)
{
    constexpr qsizetype MaxLineOctets = 75;
    qsizetype start = 0;
    qsizetype room = MaxLineOctets;
    while (line.size() - start > room) {
        qsizetype end = start + room;
        while (end > start + 1 && (uchar(line[end]) & 0xC0) == 0x80)
            --end;
        card += line.sliced(start, end - start);
        card += "\r\n ";
        start = end;
        room = MaxLineOctets - 1;
    }
    card += line.sliced(start);
    card += "\r\n";
}

} // namespace corvel
