#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace corvel {

// Splits vCard bytes into unfolded content lines: CRLF, LF or a lone CR end a line, a line
// starting with a space or tab continues the one before, and a quoted-printable value
// ending in "=" continues on the next line (vCard 2.1). A leading UTF-8 byte-order mark and
// empty lines are skipped. Every byte is looked at a bounded number of times.
class VCardLineReader
{
public:
    explicit VCardLineReader(QByteArrayView data);

    // The next content line, without its line end; false at the end of the data. The view
    // stays valid until the next call.
    [[nodiscard]] bool next(QByteArrayView &line);

private:
    [[nodiscard]] QByteArrayView physicalLine();
    [[nodiscard]] bool atContinuation() const;
    void startJoined(QByteArrayView first);

    QByteArrayView m_data;
    qsizetype m_pos = 0;
    qsizetype m_nextLineFeed = -1; // where the last search found one (or the end)
    QByteArray m_joined;           // reused for lines that had to be joined
};

} // namespace corvel
