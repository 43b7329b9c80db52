#pragma once

#include "tree/TreeList.h"

#include <QString>
#include <QStringList>

namespace corvel::test {

inline QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// The tree as lines of "<indent>caption" in display order: compact to compare whole trees.
inline QStringList treeLines(const TreeList &tree)
{
    QStringList lines;
    for (NodeHandle node : tree.displayOrder())
        lines << QString(tree.level(node) * 2, QLatin1Char(' ')) + tree.caption(node);
    return lines;
}

} // namespace corvel::test
