#pragma once

#include <QString>

#include <vector>

namespace corvel {

// What a Dynamic Mail Group is made of: the contact folders it draws on and the category
// patterns a contact must fit, and when it was last loaded.
struct DynamicDefinition
{
    struct Folder
    {
        QString entryId;
        QString storeId;
        QString name; // as shown when it cannot be found
        bool operator==(const Folder &) const = default;
    };

    std::vector<Folder> folders;
    QString categories; // the patterns as typed, separated by "," (see CategoryMatcher)
    QString lastLoaded; // display text of the last load's time; empty when never loaded

    bool operator==(const DynamicDefinition &) const = default;
};

} // namespace corvel
