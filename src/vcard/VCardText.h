#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace corvel {

// The text layer of vCard values: splitting at separators that are not escaped, and undoing
// backslash escapes. Values end up in mail headers, so what comes out never holds a line
// break or another control character (a tab excepted): each becomes a space.
class VCardText
{
public:
    // The parts between unescaped separators, still escaped. "" gives one empty part.
    [[nodiscard]] static QList<QStringView> split(QStringView value, QChar separator);
    // "\n" "\N" "\," "\;" "\:" "\\" undone, any other backslash kept as written, line breaks
    // and other control characters as spaces; trimmed.
    [[nodiscard]] static QString unescape(QStringView value);

    // A text value as cards we write carry it (vCard 3.0 and 4.0 alike): backslash, comma
    // and semicolon escaped, a line break (CRLF, CR or LF) as "\n", any other control
    // character as a space, since values end up in mail headers.
    [[nodiscard]] static QByteArray escape(QStringView text);
    // Appends one content line and its CRLF, folded into lines of at most 75 octets and never
    // inside a UTF-8 sequence.
    static void appendFolded(QByteArray &card, QByteArrayView line);
};

} // namespace corvel
