#include "merge/MemberPrompts.h"

#include "merge/MergeFields.h"
#include "merge/PromptPlan.h"

namespace corvel {

MemberPrompts::MemberPrompts(const PromptPlan *plan, MergePrompter &prompter, PromptRequest request)
    : m_plan(plan)
    , m_prompter(prompter)
    , m_request(std::move(request))
{
}

QString MemberPrompts::valueOf(const QString &promptName)
{
    const QString key = PromptPlan::keyOf(promptName);
    if (const auto known = m_values.find(key); known != m_values.end())
        return known->second;
    if (m_stopRun)
        return {};
    std::optional<QString> value;
    if (m_plan)
        value = m_plan->answer(promptName, m_request.member.address);
    if (!value) {
        m_request.promptName = promptName;
        m_request.caption = MergeFields::promptCaption(promptName);
        const PromptReply reply = m_prompter.askName(m_request);
        if (reply.stopRun) {
            m_stopRun = true;
            return {};
        }
        value = reply.value;
    }
    if (value->isEmpty())
        m_emptied.append(promptName);
    m_values.emplace(key, *value);
    return *value;
}

} // namespace corvel
