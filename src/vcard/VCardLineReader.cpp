#include "vcard/VCardLineReader.h"

#include <cstring>

namespace corvel {

namespace {

// Whether the property part of a line (before the first ':') asks for quoted-printable:
// only then is a trailing "=" a soft line break rather than data.
bool isQuotedPrintable(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    constexpr QByteArrayView marker("QUOTED-PRINTABLE");
    if (head.size() < marker.size())
        return false;
    for (qsizetype i = 0; i + marker.size() <= head.size(); ++i) {
        if (head.sliced(i, marker.size()).compare(marker, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

VCardLineReader::VCardLineReader(QByteArrayView data)
    : m_data(data)
{
    if (m_data.startsWith(QByteArrayView("\xEF\xBB\xBF")))
        m_pos = 3;
}

QByteArrayView VCardLineReader::physicalLine()
{
    const char *begin = m_data.data() + m_pos;
    const char *end = m_data.data() + m_data.size();
    // Two vectorised scans beat one loop testing two characters. The next LF is remembered:
    // in data ending its lines with a lone CR, searching again from each line would be
    // quadratic.
    if (m_nextLineFeed < m_pos) {
        const void *lf = std::memchr(begin, '\n', size_t(end - begin));
        m_nextLineFeed = lf ? static_cast<const char *>(lf) - m_data.data() : m_data.size();
    }
    const char *lineEnd = m_data.data() + m_nextLineFeed;
    const char *cr = static_cast<const char *>(std::memchr(begin, '\r', size_t(lineEnd - begin)));
    const char *next = lineEnd == end ? end : lineEnd + 1;
    if (cr) {
        next = cr + 1;
        if (next != end && *next == '\n')
            ++next;
        lineEnd = cr;
    }
    m_pos = next - m_data.data();
    return QByteArrayView(begin, lineEnd - begin);
}

void VCardLineReader::startJoined(QByteArrayView first)
{
    m_joined.resize(0); // keeps the capacity for the next joined line
    m_joined.append(first);
}

bool VCardLineReader::atContinuation() const
{
    return m_pos < m_data.size() && (m_data[m_pos] == ' ' || m_data[m_pos] == '\t');
}

bool VCardLineReader::next(QByteArrayView &line)
{
    while (m_pos < m_data.size()) {
        const QByteArrayView first = physicalLine();
        if (first.isEmpty())
            continue;
        bool joined = false;
        int quotedPrintable = -1; // not yet known
        QByteArrayView current = first;
        for (;;) {
            if (current.endsWith('=') && m_pos < m_data.size()) {
                if (quotedPrintable < 0)
                    quotedPrintable = isQuotedPrintable(joined ? QByteArrayView(m_joined) : first);
                if (quotedPrintable) {
                    if (!joined) {
                        startJoined(first);
                        joined = true;
                    }
                    m_joined.chop(1);
                    current = physicalLine();
                    m_joined.append(current);
                    continue;
                }
            }
            if (!atContinuation())
                break;
            if (!joined) {
                startJoined(first);
                joined = true;
            }
            current = physicalLine().sliced(1);
            m_joined.append(current);
        }
        line = joined ? QByteArrayView(m_joined) : first;
        return true;
    }
    return false;
}

} // namespace corvel
