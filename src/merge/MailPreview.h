#pragma once

#include "merge/MailMember.h"
#include "merge/MailType.h"

#include <QStringList>

#include <vector>

namespace corvel {

class OlNamespace;
class PromptPlan;

// The wizard's dry run: the messages a run would make, queued nowhere. Prompted fields are
// not asked here: each the plan does not answer shows as its name in brackets, where the
// member's answer would go.
class MailPreview
{
public:
    MailPreview(OlNamespace &session, std::vector<MailMember> members);

    [[nodiscard]] QStringList lines(MailType type, const QString &letterEntryId,
                                    const PromptPlan *prompts = nullptr) const;

private:
    OlNamespace &m_session;
    std::vector<MailMember> m_members;
};

} // namespace corvel
