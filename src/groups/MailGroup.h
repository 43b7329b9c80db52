#pragma once

#include "groups/DynamicDefinition.h"
#include "groups/GroupId.h"
#include "groups/GroupMember.h"

#include <QString>

#include <optional>
#include <vector>

namespace corvel {

// A mail group as data: a Standard Mail Group holds the members given it, a Dynamic Mail
// Group those its last load found.
struct MailGroup
{
    enum class Kind
    {
        Standard,
        Dynamic,
    };

    GroupId id;
    Kind kind = Kind::Standard;
    QString caption;
    std::vector<GroupMember> members;
    std::optional<DynamicDefinition> definition; // a Dynamic Mail Group's only
};

} // namespace corvel
