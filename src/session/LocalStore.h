#pragma once

#include <QString>

namespace corvel {

// A store of the local mail system as the user registered it: a name and a directory.
struct LocalStore
{
    QString name;
    QString directory;

    friend bool operator==(const LocalStore &, const LocalStore &) = default;
};

} // namespace corvel
