#pragma once

#include <QJsonObject>
#include <QStringList>

namespace corvel {

// One row of a listing for scripts: its values by name, and the cells of its text line.
struct TableRow
{
    QJsonObject json;
    QStringList cells;
};

} // namespace corvel
