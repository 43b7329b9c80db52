#include "groups/CategoryMatcher.h"

namespace corvel {

namespace {

// One bracket list at pattern[p] == '['; on return p is past the ']'. A list that is
// never closed stands for the "[" itself.
bool matchList(QChar c, QStringView pattern, qsizetype &p)
{
    qsizetype q = p + 1;
    bool negate = false;
    if (q < pattern.size() && pattern[q] == u'!') {
        negate = true;
        ++q;
    }
    const qsizetype close = pattern.indexOf(u']', q + (q < pattern.size() ? 1 : 0));
    if (close < 0) {
        ++p;
        return c == u'[';
    }
    bool found = false;
    for (qsizetype i = q; i < close; ++i) {
        if (i + 2 < close && pattern[i + 1] == u'-') {
            if (c >= pattern[i] && c <= pattern[i + 2])
                found = true;
            i += 2;
        } else if (pattern[i] == c) {
            found = true;
        }
    }
    p = close + 1;
    return found != negate;
}

} // namespace

CategoryMatcher::CategoryMatcher(const QString &inCats)
{
    for (const QString &field : inCats.split(u',')) {
        const QString pattern = field.trimmed();
        if (!pattern.isEmpty())
            m_patterns << pattern.toCaseFolded();
    }
}

bool CategoryMatcher::matches(QStringView text, QStringView pattern)
{
    // Iterative wildcard match with one backtrack point for the last "*": linear in
    // practice, never exponential.
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const QChar pc = pattern[p];
            if (pc == u'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (pc == u'?') {
                ++p;
                ++t;
                continue;
            }
            if (pc == u'#') {
                if (text[t].isDigit()) {
                    ++p;
                    ++t;
                    continue;
                }
            } else if (pc == u'[') {
                qsizetype next = p;
                if (matchList(text[t], pattern, next)) {
                    p = next;
                    ++t;
                    continue;
                }
            } else if (pc == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool CategoryMatcher::matchCategories(const QString &contactCategories) const
{
    if (m_patterns.isEmpty())
        return false;
    for (const QString &field : contactCategories.split(u',')) {
        const QString category = field.trimmed().toCaseFolded();
        if (category.isEmpty())
            continue;
        for (const QString &pattern : m_patterns) {
            if (matches(category, pattern))
                return true;
        }
    }
    return false;
}

} // namespace corvel
