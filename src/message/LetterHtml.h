#pragma once

#include <QString>
#include <QStringView>

#include <array>

namespace corvel {

// The HTML a letter may carry: bold, italic, underline, bulleted and numbered lists, links
// (http, https, mailto) and a few font sizes. Anything else pasted or read in is dropped, its
// text kept (but that of scripts, styles and the head), so no letter carries what a reader
// would run or fetch.
class LetterHtml
{
public:
    // The font sizes offered, in points; text of another size takes the nearest, the usual
    // size none.
    static constexpr std::array<int, 4> FontSizes{8, 14, 18, 24};

    // `html` reduced to the formatting above, as a fragment of well-formed markup.
    [[nodiscard]] static QString sanitized(QStringView html);
    // Whether a sanitized fragment carries any formatting: a letter without it stays plain.
    [[nodiscard]] static bool hasFormatting(QStringView fragment);
    // The text/plain form: a line per block, "- " or "1. " before list items, a link's
    // address after its text when they differ.
    [[nodiscard]] static QString plainText(QStringView html);
    // A sanitized fragment as the whole document of a text/html part.
    [[nodiscard]] static QString document(const QString &fragment);
    // Whether a link may go there: http, https and mailto addresses.
    [[nodiscard]] static bool isLinkAddress(const QString &address);
    // Text decoded of its character references (those of markup and numbered ones).
    [[nodiscard]] static QString decoded(QStringView text);
};

} // namespace corvel
