#pragma once

#include "merge/MailMember.h"
#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

class PromptPlan;

// Files for one member's copy alone: the "Attachment" column of the values table (the
// --values file or the wizard's table), paths separated by ";".
class MemberAttachments
{
public:
    static QString columnName() { return QStringLiteral("Attachment"); }

    // The member's files, in the order named.
    [[nodiscard]] static QStringList of(const PromptPlan &plan, const QString &memberAddress);
    // Every file named for the members, checked before anything is made: the reason names
    // each that is not a readable regular file.
    [[nodiscard]] static Status check(const PromptPlan &plan,
                                      const std::vector<MailMember> &members);
};

} // namespace corvel
