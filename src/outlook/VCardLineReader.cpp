#include "outlook/VCardLineReader.h"

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
    const char *p = begin;
    while (p != end && *p != '\n' && *p != '\r')
        ++p;
    const QByteArrayView line(begin, p - begin);
    if (p != end && *p == '\r')
        ++p;
    if (p != end && *p == '\n' && (p == begin + line.size() || p[-1] == '\r'))
        ++p;
    m_pos = p - m_data.data();
    return line;
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
