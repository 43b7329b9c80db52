#include "vcard/VCardProperty.h"

#include "vcard/VCardLineReader.h"

#include <QStringDecoder>

#include <array>
#include <cerrno>

#include <iconv.h>

namespace corvel {

namespace {

QByteArrayView trimmed(QByteArrayView v)
{
    return v.trimmed();
}

QByteArrayView unquoted(QByteArrayView v)
{
    v = v.trimmed();
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.sliced(1, v.size() - 2);
    if (v.startsWith('"'))
        return v.sliced(1); // an unclosed quote: take the rest
    return v;
}

bool isEncodingName(QByteArrayView v)
{
    for (const char *known : {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT", "7BIT"}) {
        if (v.compare(QByteArrayView(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The end of the part that starts at from and ends at one of the stop characters outside
// double quotes; honourQuotes false finds the first stop character whatever the quotes.
qsizetype partEnd(QByteArrayView line, qsizetype from, bool honourQuotes, bool stopAtSemicolon)
{
    bool quoted = false;
    for (qsizetype i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && honourQuotes)
            quoted = !quoted;
        else if (!quoted && (c == ':' || (stopAtSemicolon && c == ';')))
            return i;
    }
    return line.size();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray fromQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size()) {
            const int hi = hexDigit(in[i + 1]);
            const int lo = hexDigit(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        if (c == '=' && i == in.size() - 1)
            break; // a soft break at the very end
        out.append(c);
    }
    return out;
}

// Charsets handed to iconv: the families cards are written in, and nothing stateful.
bool isAllowedCharset(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 32)
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!ok)
            return false;
    }
    for (const char *prefix : {"ISO-8859-", "ISO8859-", "WINDOWS-125", "CP125", "KOI8-", "UTF-16",
                               "UTF-32", "SHIFT_JIS", "SHIFT-JIS", "EUC-", "GB", "BIG5", "US-ASCII",
                               "ASCII", "MACINTOSH", "TIS-620", "CP874"}) {
        const QByteArrayView p(prefix);
        if (name.size() >= p.size() && name.first(p.size()).compare(p, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString fromCharsetWithIconv(QByteArrayView bytes, QByteArrayView charset)
{
    const QByteArray name = charset.toByteArray();
    iconv_t cd = ::iconv_open("UTF-8", name.constData());
    if (cd == iconv_t(-1))
        return QString::fromUtf8(bytes);
    QByteArray out;
    out.reserve(bytes.size() * 2 + 16);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    std::array<char, 4096> chunk{};
    while (inLeft > 0) {
        char *outPtr = chunk.data();
        size_t outLeft = chunk.size();
        const size_t done = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), qsizetype(chunk.size() - outLeft));
        if (done != size_t(-1))
            break;
        if (errno == E2BIG)
            continue;
        // A byte that is not of the charset, or a sequence cut short: replace it and go on.
        out.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
    }
    ::iconv_close(cd);
    return QString::fromUtf8(out);
}

QString fromCharset(QByteArrayView bytes, QByteArrayView charset)
{
    if (charset.isEmpty())
        return QString::fromUtf8(bytes);
    const QByteArray name = charset.toByteArray();
    if (const auto known = QStringConverter::encodingForName(name.constData())) {
        QStringDecoder decoder(*known);
        return decoder.decode(bytes);
    }
    if (!isAllowedCharset(charset))
        return QString::fromUtf8(bytes);
    return fromCharsetWithIconv(bytes, charset);
}

} // namespace

std::optional<VCardProperty> VCardProperty::parse(QByteArrayView line)
{
    VCardProperty p;
    // An unclosed quote in a parameter must not swallow the value.
    bool honourQuotes = true;
    qsizetype nameEnd = partEnd(line, 0, honourQuotes, true);
    qsizetype colon = partEnd(line, nameEnd, honourQuotes, false);
    if (colon >= line.size()) {
        honourQuotes = false;
        nameEnd = partEnd(line, 0, false, true);
        colon = partEnd(line, nameEnd, false, false);
        if (colon >= line.size())
            return std::nullopt;
    }
    const QByteArrayView fullName = trimmed(line.first(nameEnd));
    if (fullName.isEmpty())
        return std::nullopt;
    const qsizetype dot = fullName.lastIndexOf('.');
    if (dot >= 0) {
        p.m_group = fullName.first(dot);
        p.m_name = fullName.sliced(dot + 1);
    } else {
        p.m_name = fullName;
    }
    for (qsizetype at = nameEnd; at < colon;) {
        const qsizetype end = std::min(partEnd(line, at + 1, honourQuotes, true), colon);
        const QByteArrayView text = trimmed(line.sliced(at + 1, end - at - 1));
        at = end;
        if (text.isEmpty())
            continue;
        const qsizetype equals = text.indexOf('=');
        if (equals >= 0) {
            p.m_parameters.append({trimmed(text.first(equals)), text.sliced(equals + 1)});
        } else {
            // vCard 2.1 writes a type or an encoding without its parameter name.
            p.m_parameters.append(
                {QByteArrayView(isEncodingName(text) ? "ENCODING" : "TYPE"), text});
        }
    }
    p.m_value = line.sliced(colon + 1);
    return p;
}

bool VCardProperty::is(QByteArrayView name) const
{
    return m_name.size() == name.size() && m_name.compare(name, Qt::CaseInsensitive) == 0;
}

void VCardProperty::forEachParameterValue(QByteArrayView parameter,
                                          const std::function<bool(QByteArrayView)> &visit) const
{
    for (const Parameter &p : m_parameters) {
        if (p.name.compare(parameter, Qt::CaseInsensitive) != 0)
            continue;
        // Commas inside quotes belong to the value.
        bool quoted = false;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= p.value.size(); ++i) {
            if (i < p.value.size() && p.value[i] == '"')
                quoted = !quoted;
            if (i == p.value.size() || (!quoted && p.value[i] == ',')) {
                if (!visit(unquoted(p.value.sliced(start, i - start))))
                    return;
                start = i + 1;
            }
        }
    }
}

bool VCardProperty::hasParameterValue(QByteArrayView parameter, QByteArrayView value) const
{
    bool found = false;
    forEachParameterValue(parameter, [&](QByteArrayView v) {
        found = v.compare(value, Qt::CaseInsensitive) == 0;
        return !found;
    });
    return found;
}

QByteArrayView VCardProperty::parameter(QByteArrayView parameter) const
{
    QByteArrayView first;
    forEachParameterValue(parameter, [&](QByteArrayView v) {
        first = v;
        return false;
    });
    return first;
}

QString VCardProperty::text() const
{
    const QByteArrayView encoding = parameter("ENCODING");
    QByteArray decoded;
    QByteArrayView bytes = m_value;
    if (encoding.compare("QUOTED-PRINTABLE", Qt::CaseInsensitive) == 0) {
        decoded = fromQuotedPrintable(m_value);
        bytes = decoded;
    } else if (encoding.compare("B", Qt::CaseInsensitive) == 0 ||
               encoding.compare("BASE64", Qt::CaseInsensitive) == 0) {
        decoded = QByteArray::fromBase64(m_value.toByteArray());
        bytes = decoded;
    }
    return fromCharset(bytes, parameter("CHARSET"));
}

void VCardProperty::forEachOfFirstCard(QByteArrayView data,
                                       const std::function<void(const VCardProperty &)> &visit)
{
    VCardLineReader lines(data);
    QByteArrayView line;
    bool inCard = false;
    while (lines.next(line)) {
        const std::optional<VCardProperty> property = parse(line);
        if (!property)
            continue;
        if (property->is("BEGIN")) {
            if (inCard)
                break;
            inCard = true;
            continue;
        }
        if (!inCard)
            continue;
        if (property->is("END"))
            break;
        visit(*property);
    }
}

} // namespace corvel
