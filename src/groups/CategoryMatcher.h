#pragma once

#include <QString>
#include <QStringList>

namespace corvel {

// Whether a contact's categories fit a Dynamic Mail Group's: any one category of the
// contact fits any one pattern of the group, without regard to letter case. Patterns:
// "*" any run, "?" any one character, "#" any digit, "[a-z]" and "[!...]" lists.
class CategoryMatcher
{
public:
    // inCats: the group's text, split at "," with blank entries dropped.
    explicit CategoryMatcher(const QString &inCats);

    [[nodiscard]] bool isEmpty() const { return m_patterns.isEmpty(); }
    [[nodiscard]] const QStringList &patterns() const { return m_patterns; }
    [[nodiscard]] bool matchCategories(const QString &contactCategories) const;

    [[nodiscard]] static bool matches(QStringView text, QStringView pattern);

private:
    QStringList m_patterns; // case-folded
};

} // namespace corvel
