#pragma once

#include "merge/MailMember.h"

#include <QString>

namespace corvel {

// One prompted field to be answered for one member's copy.
struct PromptRequest
{
    QString promptName;
    QString caption; // "Enter value for First Name"
    MailMember member;
    qint64 position = 0; // the member's place in the run, from 1
    qint64 total = 0;

    // "for Lee, Ann <ann.lee@example.org>, 3 of 239": whose copy the answer goes into.
    [[nodiscard]] QString forWhom() const
    {
        return QStringLiteral("for %1 <%2>, %3 of %4")
            .arg(member.name, member.address)
            .arg(position)
            .arg(total);
    }
};

struct PromptReply
{
    QString value;        // "" on Cancel
    bool stopRun = false; // the user ended the run: this member gets nothing
};

// Asks the user for the value of a prompted merge field: the single-line input dialog in the
// window, a terminal for corvelctl or a script in tests.
class MergePrompter
{
public:
    virtual ~MergePrompter() = default;

    [[nodiscard]] virtual PromptReply askName(const PromptRequest &request) = 0;
};

} // namespace corvel
