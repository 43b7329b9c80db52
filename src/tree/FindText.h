#pragma once

#include <QString>
#include <QStringView>

namespace corvel {

// Text as the find rule compares it: compatibility-decomposed, combining marks dropped,
// case-folded, so "muller" finds "Müller" and "ﬁle" finds "file".
class FindText
{
public:
    [[nodiscard]] static QString fold(QStringView text);
};

} // namespace corvel
