#pragma once

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
};

} // namespace corvel
