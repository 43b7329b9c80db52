#pragma once

#include "merge/ListUnsubscribe.h"
#include "merge/MailMember.h"
#include "merge/MailType.h"
#include "support/Result.h"

#include <QString>

#include <vector>

namespace corvel {

class MergePrompter;
class OlNamespace;
class PromptPlan;

// A test to oneself before a run: the copy the first member would get, filled as it would be,
// its subject marked, sent to one address alone (the letter's own To, CC and BCC left off). It
// is no part of a run: no lock, no journal, nothing counted.
class TestCopy
{
public:
    static QString subjectPrefix() { return QStringLiteral("[Test] "); }

    struct Request
    {
        QString letterEntryId;
        MailType type = MailType::Personal;
        const PromptPlan *prompts = nullptr; // may be null: every prompt is asked
        ListUnsubscribe unsubscribe{};
        QString address; // where the test goes
    };
    // Queues the test; the member whose copy it is, or why there is none.
    [[nodiscard]] static Result<MailMember> send(OlNamespace &session, MergePrompter &prompter,
                                                 const Request &request,
                                                 const std::vector<MailMember> &members);
};

} // namespace corvel
